#include "lang/Language.h"

#include "util/Locale.h"
#include "util/Utf.h"

namespace pgl {

bool PolishFromLocale() {
  return AsciiEqualNoCase(UserLanguageCode(), "pl");
}

}  // namespace pgl
