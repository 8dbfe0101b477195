#include "lang/Language.h"

#include <cstdlib>
#include <string_view>

namespace pgl {

bool PolishFromLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const std::string_view v(value);
    const std::string_view language = v.substr(0, v.find_first_of("_.@"));
    return language == "pl" || language == "PL";
  }
  return false;
}

}  // namespace pgl
