// The program's languages, a text in each of them, and the tables that give a module's messages
// by id. A new language is a new column in each table, not an edit of the code that shows them.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace pgl {

enum class Language : unsigned char { English, Polish };
inline constexpr std::size_t kLanguageCount = 2;
inline constexpr std::array<Language, kLanguageCount> kLanguages = {Language::English,
                                                                    Language::Polish};

// The language of the first start, when there is no settings file yet: Polish when the
// user's message locale (LC_ALL, else LC_MESSAGES, else LANG) is Polish, else English.
Language LanguageFromLocale();

// The language's ISO 639-1 code: "en", "pl".
inline constexpr const char* LanguageCode(Language lang) {
  constexpr std::array<const char*, kLanguageCount> kCodes = {"en", "pl"};
  return kCodes[static_cast<std::size_t>(lang)];
}

inline constexpr Language LanguageOf(bool polish) {
  return polish ? Language::Polish : Language::English;
}

// The plural form a count takes: English has one and many; Polish one, few (2-4, but not 12-14,
// and so on) and many.
enum class Plural { One, Few, Many };
Plural PluralOf(long long count, Language lang);

// One text in every language, in the order of Language.
struct Translations {
  constexpr Translations() = default;
  // One text per language, in the order of Language: a table that misses one does not compile.
  template <typename... Text>
  constexpr Translations(const char* english, Text... others)  // NOLINT: a table row
      : texts{english, others...} {
    static_assert(sizeof...(Text) + 1 == kLanguageCount, "a text in every language");
  }
  constexpr const char* In(Language lang) const { return texts[static_cast<std::size_t>(lang)]; }

  std::array<const char*, kLanguageCount> texts{};
};

// A text made while the program runs (a system's error message) in every language it has; a
// language it lacks reads the English one.
struct LocalText {
  LocalText() = default;
  LocalText(std::string english) { texts[0] = std::move(english); }    // NOLINT: no translation
  LocalText(const char* english) : LocalText(std::string(english)) {}  // NOLINT: the same
  LocalText(std::string english, std::string polish)
      : texts{std::move(english), std::move(polish)} {}
  const std::string& In(Language lang) const;
  const std::string& English() const { return texts[0]; }
  bool empty() const { return texts[0].empty(); }

  std::array<std::string, kLanguageCount> texts;
};

// `pattern` with each %1 to %9 replaced by that argument; the arguments are not read again,
// so a name holding "%1" stays as it is, and so does a marker without its argument.
std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args);

// `pattern` filled in each language, each argument taken in that language.
LocalText FillEach(const Translations& pattern, std::initializer_list<LocalText> args);

// One row of a module's message table.
template <typename Id>
struct Message {
  Id id;
  Translations text;
};

// True when row i holds the id whose value is i and every id up to Id::Count has its row: a
// table that passes can be indexed by id.
template <typename Id, std::size_t N>
constexpr bool IsMessageTable(const Message<Id> (&rows)[N]) {
  if (N != static_cast<std::size_t>(Id::Count)) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(rows[i].id) != i) return false;
    for (const char* text : rows[i].text.texts)
      if (text == nullptr) return false;
  }
  return true;
}

template <typename Id, std::size_t N>
constexpr const char* MessageIn(const Message<Id> (&rows)[N], Id id, Language lang) {
  return rows[static_cast<std::size_t>(id)].text.In(lang);
}

}  // namespace pgl
