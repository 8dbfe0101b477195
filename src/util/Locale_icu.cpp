// Collation and case mapping through ICU, dates and times through the C library's locales.
#include <locale.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "util/Locale.h"
#include "util/Utf.h"

namespace pgl {

namespace {

UCollator* OpenCollator(const std::string& icuLocale, UCollationStrength strength) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* c = ucol_open(icuLocale.c_str(), &status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    c = ucol_open("en_US", &status);
  }
  if (!c) return nullptr;
  ucol_setStrength(c, strength);
  ucol_setAttribute(c, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
  return c;
}

}  // namespace

struct TextCollator::Impl {
  UCollator* caseless = nullptr;
  UCollator* cased = nullptr;
};

TextCollator::TextCollator(const std::string& localeName) : impl_(std::make_unique<Impl>()) {
  const std::string icu = (localeName == "C" || localeName == "POSIX" || localeName.empty())
                              ? std::string("en_US")
                              : localeName;
  impl_->caseless = OpenCollator(icu, UCOL_SECONDARY);
  impl_->cased = OpenCollator(icu, UCOL_TERTIARY);
}

TextCollator::~TextCollator() {
  if (impl_->caseless) ucol_close(impl_->caseless);
  if (impl_->cased) ucol_close(impl_->cased);
}

const TextCollator& TextCollator::User() {
  static const TextCollator collator(UserLocaleName("LC_COLLATE"));
  return collator;
}

int TextCollator::Compare(std::string_view a, std::string_view b, bool ignoreCase) const {
  UCollator* c = ignoreCase ? impl_->caseless : impl_->cased;
  if (!c) return a < b ? -1 : (a == b ? 0 : 1);
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r = ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                              static_cast<int32_t>(b.size()), &status);
  return r == UCOL_LESS ? -1 : (r == UCOL_EQUAL ? 0 : 1);
}

std::string TextCollator::SortKey(std::string_view text, bool ignoreCase) const {
  UCollator* c = ignoreCase ? impl_->caseless : impl_->cased;
  if (!c) return std::string(text);
  // Made in a buffer of this thread's and handed back at its size: a list keeps many keys.
  thread_local std::string buffer;
  const std::u16string units = Utf8ToUtf16(text);
  if (buffer.size() < units.size() * 4 + 16) buffer.resize(units.size() * 4 + 16);
  for (;;) {
    const int32_t n = ucol_getSortKey(c, units.data(), static_cast<int32_t>(units.size()),
                                      reinterpret_cast<uint8_t*>(buffer.data()),
                                      static_cast<int32_t>(buffer.size()));
    if (n <= static_cast<int32_t>(buffer.size()))  // the key without its final zero
      return buffer.substr(0, n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    buffer.resize(static_cast<std::size_t>(n));
  }
}

namespace {

// The user's time locale, made once per locale name (making one reads files: a list of
// thousands of dates would pay for it on every cell). The few locales are kept for the run.
locale_t TimeLocale() {
  static std::mutex mutex;
  // Never destroyed: the locales stay valid for whatever runs at exit.
  static auto* const made = new std::map<std::string, locale_t>;
  const std::string name = UserLocaleName("LC_TIME");
  const std::lock_guard<std::mutex> lock(mutex);
  const auto it = made->find(name);
  if (it != made->end()) return it->second;
  locale_t loc = newlocale(LC_TIME_MASK, (name + ".UTF-8").c_str(), static_cast<locale_t>(0));
  if (!loc) loc = newlocale(LC_TIME_MASK, name.c_str(), static_cast<locale_t>(0));
  if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  made->emplace(name, loc);
  return loc;
}

std::string Format(const char* format, const std::tm& when) {
  char buffer[128];
  const std::size_t n = strftime_l(buffer, sizeof buffer, format, &when, TimeLocale());
  return std::string(buffer, n);
}

}  // namespace

char16_t LowerCaseUnit(char16_t unit) {
  const UChar32 lower = u_tolower(unit);
  return lower <= 0xFFFF ? static_cast<char16_t>(lower) : unit;
}

std::string UpperCaseLocale(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  const std::string locale = UserLocaleName("LC_CTYPE");
  std::u16string out(units.size() + 8, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        u_strToUpper(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                     reinterpret_cast<const UChar*>(units.data()),
                     static_cast<int32_t>(units.size()), locale.c_str(), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<std::size_t>(n), u'\0');
      continue;
    }
    if (U_FAILURE(status)) return std::string(text);
    out.resize(static_cast<std::size_t>(n));
    return Utf16ToUtf8(out);
  }
  return std::string(text);
}

bool FileTimeToLocalTime(std::uint64_t fileTime, std::tm& local) {
  constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ull;
  const auto seconds = static_cast<std::int64_t>(fileTime / 10000000ull) -
                       static_cast<std::int64_t>(kTicks1601To1970 / 10000000ull);
  const auto t = static_cast<std::time_t>(seconds);
  return localtime_r(&t, &local) != nullptr;
}

std::string UserLanguageCode() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const std::string_view v(value);
    return std::string(v.substr(0, v.find_first_of("_.@")));
  }
  return {};
}

std::string FormatShortDate(const std::tm& when) {
  return Format("%x", when);
}
std::string FormatLongTime(const std::tm& when) {
  return Format("%X", when);
}

}  // namespace pgl
