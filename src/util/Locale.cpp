#include "util/Locale.h"

#include <cstdlib>
#include <string>

namespace pgl {

std::string UserLocaleName(const char* categoryVariable) {
  std::string value;
  for (const char* name : {"LC_ALL", categoryVariable, "LANG"})
    if (const char* v = std::getenv(name); v && *v) {
      value = v;
      break;
    }
  value = value.substr(0, value.find_first_of(".@"));
  return value.empty() ? "C" : value;
}

}  // namespace pgl
