// The user's locale: how texts are ordered and how dates and times are written.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <string_view>

struct UCollator;

namespace pgl {

// The locale name a category is set to (LC_ALL, else the category's own variable, else
// LANG), without encoding or modifier: "pl_PL", "C", ...
std::string UserLocaleName(const char* categoryVariable);

// Locale-aware comparison: ICU collation of the user's LC_COLLATE locale (English where that
// is C or POSIX), punctuation not ignored.
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
  UCollator* caseless_ = nullptr;
  UCollator* cased_ = nullptr;
};

// The text upper-cased by the rules of the user's LC_CTYPE locale.
std::string UpperCaseLocale(std::string_view text);

// Dates and times in the user's LC_TIME formats: the short date (%x) and the long time (%X).
std::string FormatShortDate(const std::tm& when);
std::string FormatLongTime(const std::tm& when);

}  // namespace pgl
