// The user's locale: how texts are ordered and how dates and times are written.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace pgl {

// The locale name a category is set to (LC_ALL, else the category's own variable, else
// LANG), without encoding or modifier: "pl_PL", "C", ...
std::string UserLocaleName(const char* categoryVariable);

// The language the user's messages are in, as its code ("pl", "en", "C"); empty where none is
// set. On Linux the first of LC_ALL, LC_MESSAGES and LANG that is set; on Windows the thread's
// locale.
std::string UserLanguageCode();

// Locale-aware comparison, punctuation not ignored. On Linux: ICU collation of the user's
// LC_COLLATE locale (English where that is C or POSIX); on Windows: the user's default locale.
class TextCollator {
 public:
  explicit TextCollator(const std::string& localeName);
  ~TextCollator();
  TextCollator(const TextCollator&) = delete;
  TextCollator& operator=(const TextCollator&) = delete;

  // The collator of the user's locale, made once.
  static const TextCollator& User();

  // -1, 0 or 1.
  int Compare(std::string_view a, std::string_view b, bool ignoreCase) const;
  // A byte string whose plain comparison orders as Compare does.
  std::string SortKey(std::string_view text, bool ignoreCase) const;

 private:
  struct Impl;  // the platform's collators
  std::unique_ptr<Impl> impl_;
};

// One UTF-16 unit (not a surrogate) in lower case by the simple mapping that ignores the
// locale: how the registry folds names.
char16_t LowerCaseUnit(char16_t unit);

// The text upper-cased by the rules of the user's LC_CTYPE locale.
std::string UpperCaseLocale(std::string_view text);

// A FILETIME (100 ns units since 1601, UTC) as local time, by the time-zone rules in force on
// that date (a summer date keeps its summer offset in winter). False where it has none.
bool FileTimeToLocalTime(std::uint64_t fileTime, std::tm& local);

// Dates and times in the user's LC_TIME formats: the short date (%x) and the long time (%X).
std::string FormatShortDate(const std::tm& when);
std::string FormatLongTime(const std::tm& when);

}  // namespace pgl
