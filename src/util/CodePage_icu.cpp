// Code pages through ICU, and the code page Wine picks from the POSIX locale.
#include <locale.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "util/CodePage.h"
#include "util/Utf.h"

namespace pgl {

int UserAnsiCodePage() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(name);
    if (!v || !*v) continue;
    // A locale that is not installed is the C locale for every program, Wine included.
    const locale_t locale = ::newlocale(LC_CTYPE_MASK, v, static_cast<locale_t>(nullptr));
    if (!locale) return 1252;
    ::freelocale(locale);
    return AnsiCodePageForLocale(v);
  }
  return 1252;
}

namespace {

struct ConverterDeleter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};

UConverter* ConverterFor(int codePage) {
  thread_local std::map<int, std::unique_ptr<UConverter, ConverterDeleter>> cache;
  auto it = cache.find(codePage);
  if (it != cache.end()) return it->second.get();
  std::string name = "windows-" + std::to_string(codePage);
  if (codePage == 932) name = "windows-31j";
  if (codePage == 936) name = "windows-936-2000";
  if (codePage == 950) name = "windows-950-2000";
  if (codePage == 949) name = "windows-949-2000";
  UErrorCode status = U_ZERO_ERROR;
  UConverter* c = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status)) c = nullptr;
  if (c) {
    status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(c, false);
  }
  return cache.emplace(codePage, c).first->second.get();
}

}  // namespace

bool EncodeNonAsciiToCodePage(std::string_view utf8, int codePage, std::string& out) {
  UConverter* c = ConverterFor(codePage);
  if (!c) return false;
  const std::u16string units = Utf8ToUtf16(utf8);
  if (units.find(u'\uFFFD') != std::u16string::npos &&
      utf8.find("\xEF\xBF\xBD") == std::string_view::npos)
    return false;  // the UTF-8 itself was broken
  ucnv_reset(c);
  out.resize(units.size() * 4 + 8);
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(c, out.data(), static_cast<int32_t>(out.size()), units.data(),
                                    static_cast<int32_t>(units.size()), &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) {
    if (U_FAILURE(status)) return false;
  }
  out.resize(static_cast<std::size_t>(n));
  return true;
}

bool DecodeNonAsciiFromCodePage(std::string_view bytes, int codePage, std::u16string& out) {
  UConverter* c = ConverterFor(codePage);
  if (!c) return false;
  ucnv_reset(c);
  // At most one unit per byte, and a surrogate pair for no fewer than two bytes.
  out.resize(bytes.size() + 2);
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_toUChars(c, out.data(), static_cast<int32_t>(out.size()), bytes.data(),
                                  static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) {
    out.clear();
    return false;
  }
  out.resize(static_cast<std::size_t>(n));
  return true;
}

}  // namespace pgl
