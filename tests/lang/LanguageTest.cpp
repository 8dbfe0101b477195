#include <gtest/gtest.h>

#include <string>

#include "lang/Language.h"

using namespace pgl;

TEST(Language, FillPutsEachArgumentInItsPlaceOnce) {
  struct Case {
    const char* pattern;
    std::initializer_list<std::string_view> args;
    const char* expected;
  };
  const Case cases[] = {
      {"Restored %1 programs from %2", {"3", "a.reg"}, "Restored 3 programs from a.reg"},
      {"Przywrócono programów: %1 z %2", {"3", "a.reg"}, "Przywrócono programów: 3 z a.reg"},
      {"%2 before %1", {"one", "two"}, "two before one"},
      {"%1 and %1", {"x"}, "x and x"},
      // A name holding a marker is not read again.
      {"Still installed: %1", {"%1%2 100%"}, "Still installed: %1%2 100%"},
      {"%3 has no argument", {"a"}, "%3 has no argument"},
      {"100% sure, 50%", {}, "100% sure, 50%"},
      {"%0 and %x", {"a"}, "%0 and %x"},
      {"ends with %", {"a"}, "ends with %"},
      {"%9", {"1", "2", "3", "4", "5", "6", "7", "8", "nine"}, "nine"},
  };
  for (const Case& c : cases) EXPECT_EQ(Fill(c.pattern, c.args), c.expected) << c.pattern;
}

TEST(Language, FillEachTakesEveryArgumentInTheSameLanguage) {
  const Translations pattern{"The file \"%1\" cannot be changed: %2",
                             "Pliku \"%1\" nie można zmienić: %2"};
  const LocalText why{"it is busy.", "jest zajęty."};
  const LocalText said = FillEach(pattern, {LocalText("/p/system.reg"), why});
  EXPECT_EQ(said.In(Language::English),
            "The file \"/p/system.reg\" cannot be changed: it is busy.");
  EXPECT_EQ(said.In(Language::Polish), "Pliku \"/p/system.reg\" nie można zmienić: jest zajęty.");
  // A system's text in one language only reads the same in every language.
  const LocalText plain("No such file");
  EXPECT_EQ(plain.In(Language::Polish), "No such file");
  EXPECT_EQ(FillEach(pattern, {LocalText("f"), plain}).In(Language::Polish),
            "Pliku \"f\" nie można zmienić: No such file");
}

TEST(Language, PluralFormsFollowEachLanguage) {
  const std::pair<long long, Plural> polish[] = {
      {0, Plural::Many},  {1, Plural::One},   {2, Plural::Few},    {4, Plural::Few},
      {5, Plural::Many},  {11, Plural::Many}, {12, Plural::Many},  {14, Plural::Many},
      {22, Plural::Few},  {25, Plural::Many}, {101, Plural::Many}, {112, Plural::Many},
      {123, Plural::Few},
  };
  for (const auto& [count, form] : polish)
    EXPECT_EQ(PluralOf(count, Language::Polish), form) << count;
  for (const long long count : {0LL, 2LL, 3LL, 22LL, 101LL})
    EXPECT_EQ(PluralOf(count, Language::English), Plural::Many) << count;
  EXPECT_EQ(PluralOf(1, Language::English), Plural::One);
}

namespace {
enum class Id { A, B, Count };
constexpr Message<Id> kGood[] = {{Id::A, {"a", "a-pl"}}, {Id::B, {"b", "b-pl"}}};
constexpr Message<Id> kSwapped[] = {{Id::B, {"b", "b-pl"}}, {Id::A, {"a", "a-pl"}}};
constexpr Message<Id> kShort[] = {{Id::A, {"a", "a-pl"}}};
constexpr Message<Id> kUntranslated[] = {{Id::A, {"a", "a-pl"}}, {Id::B, {"b", nullptr}}};
}  // namespace

TEST(Language, OnlyACompleteTableInIdOrderPasses) {
  static_assert(IsMessageTable(kGood));
  static_assert(!IsMessageTable(kSwapped));
  static_assert(!IsMessageTable(kShort));
  static_assert(!IsMessageTable(kUntranslated));
  EXPECT_STREQ(MessageIn(kGood, Id::B, Language::Polish), "b-pl");
  EXPECT_STREQ(LanguageCode(Language::Polish), "pl");
}
