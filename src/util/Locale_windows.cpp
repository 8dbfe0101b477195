// Collation, case mapping, dates and times by the user's default locale, through the system.
// The W forms are used throughout: the A forms would lose every character outside the ANSI
// code page.
#include <windows.h>

#include <map>
#include <mutex>
#include <optional>

#include "util/Locale.h"
#include "util/WindowsText.h"

namespace pgl {

struct TextCollator::Impl {
  LCID locale = LOCALE_USER_DEFAULT;
};

TextCollator::TextCollator(const std::string& localeName) : impl_(std::make_unique<Impl>()) {
  // The user's locale is the system's; a named one is asked for only where it is installed.
  if (!localeName.empty() && localeName != "C" && localeName != "POSIX") {
    std::wstring name = WideText(localeName);
    for (wchar_t& c : name)
      if (c == L'_') c = L'-';
    const LCID id = LocaleNameToLCID(name.c_str(), 0);
    if (id != 0) impl_->locale = id;
  }
}

TextCollator::~TextCollator() = default;

const TextCollator& TextCollator::User() {
  static const TextCollator collator("");
  return collator;
}

namespace {

// Punctuation counts as the ICU collation on Linux counts it (string sort, not word sort).
DWORD CompareFlags(bool ignoreCase) {
  return SORT_STRINGSORT | (ignoreCase ? NORM_IGNORECASE : 0);
}

}  // namespace

int TextCollator::Compare(std::string_view a, std::string_view b, bool ignoreCase) const {
  const std::wstring wa = WideText(a), wb = WideText(b);
  const int r = CompareStringW(impl_->locale, CompareFlags(ignoreCase), wa.data(),
                               static_cast<int>(wa.size()), wb.data(), static_cast<int>(wb.size()));
  if (r == 0) return a < b ? -1 : (a == b ? 0 : 1);
  return r == CSTR_LESS_THAN ? -1 : (r == CSTR_EQUAL ? 0 : 1);
}

std::string TextCollator::SortKey(std::string_view text, bool ignoreCase) const {
  const std::wstring wide = WideText(text);
  const DWORD flags = LCMAP_SORTKEY | CompareFlags(ignoreCase);
  const int n =
      LCMapStringW(impl_->locale, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0);
  if (n <= 0) return std::string(text);
  std::string key(static_cast<std::size_t>(n), '\0');
  // A sort key is bytes, handed back through the wide-character buffer.
  LCMapStringW(impl_->locale, flags, wide.data(), static_cast<int>(wide.size()),
               reinterpret_cast<wchar_t*>(key.data()), n);
  while (!key.empty() && key.back() == '\0') key.pop_back();
  return key;
}

char16_t LowerCaseUnit(char16_t unit) {
  wchar_t in = static_cast<wchar_t>(unit), out = in;
  if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &in, 1, &out, 1, nullptr, nullptr, 0) !=
      1)
    return unit;
  return static_cast<char16_t>(out);
}

std::string UpperCaseLocale(std::string_view text) {
  const std::wstring wide = WideText(text);
  if (wide.empty()) return {};
  const DWORD flags = LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING;
  const int n = LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.data(), static_cast<int>(wide.size()),
                             nullptr, 0);
  if (n <= 0) return std::string(text);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  LCMapStringW(LOCALE_USER_DEFAULT, flags, wide.data(), static_cast<int>(wide.size()), out.data(),
               n);
  return Utf8Text(out);
}

std::string UserLanguageCode() {
  wchar_t code[16] = {};
  if (GetLocaleInfoW(GetThreadLocale(), LOCALE_SISO639LANGNAME, code, 16) <= 0) return {};
  return Utf8Text(code);
}

namespace {

// The time zone's rules for a year, asked of the system once per year rather than for every
// date: each question reads the registry (under Wine, a round trip to its server per value).
std::optional<TIME_ZONE_INFORMATION> ZoneRulesOf(WORD year) {
  static std::mutex mutex;
  static std::map<WORD, std::optional<TIME_ZONE_INFORMATION>> known;
  const std::lock_guard<std::mutex> lock(mutex);
  const auto found = known.find(year);
  if (found != known.end()) return found->second;
  TIME_ZONE_INFORMATION rules{};
  std::optional<TIME_ZONE_INFORMATION> result;
  if (GetTimeZoneInformationForYear(year, nullptr, &rules)) result = rules;
  known.emplace(year, result);
  return result;
}

}  // namespace

bool FileTimeToLocalTime(std::uint64_t fileTime, std::tm& local) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(fileTime & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
  SYSTEMTIME utc, st;
  // Not FileTimeToLocalFileTime: that applies today's daylight-saving offset to every date.
  if (!FileTimeToSystemTime(&ft, &utc)) return false;
  std::optional<TIME_ZONE_INFORMATION> rules = ZoneRulesOf(utc.wYear);
  if (!SystemTimeToTzSpecificLocalTime(rules ? &*rules : nullptr, &utc, &st)) return false;
  local = std::tm{};
  local.tm_year = st.wYear - 1900;
  local.tm_mon = st.wMonth - 1;
  local.tm_mday = st.wDay;
  local.tm_wday = st.wDayOfWeek;
  local.tm_hour = st.wHour;
  local.tm_min = st.wMinute;
  local.tm_sec = st.wSecond;
  return true;
}

namespace {

SYSTEMTIME ToSystemTime(const std::tm& when) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(when.tm_year + 1900);
  st.wMonth = static_cast<WORD>(when.tm_mon + 1);
  st.wDay = static_cast<WORD>(when.tm_mday);
  st.wDayOfWeek = static_cast<WORD>(when.tm_wday);
  st.wHour = static_cast<WORD>(when.tm_hour);
  st.wMinute = static_cast<WORD>(when.tm_min);
  st.wSecond = static_cast<WORD>(when.tm_sec);
  return st;
}

}  // namespace

std::string FormatShortDate(const std::tm& when) {
  const SYSTEMTIME st = ToSystemTime(when);
  wchar_t buffer[128];
  const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 128);
  return n > 0 ? Utf8Text(std::wstring_view(buffer, static_cast<std::size_t>(n - 1))) : "";
}

std::string FormatLongTime(const std::tm& when) {
  const SYSTEMTIME st = ToSystemTime(when);
  wchar_t buffer[128];
  const int n = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, 128);
  return n > 0 ? Utf8Text(std::wstring_view(buffer, static_cast<std::size_t>(n - 1))) : "";
}

}  // namespace pgl
