// Cell colours of every kind of row, the frequency words after a language switch, the view
// button's cycle.
#include <gtest/gtest.h>

#include "lang/Language.h"
#include "ui/main/ListPresentation.h"

namespace pgl {
namespace {

TUninstallInfo Entry(bool valid, bool system) {
  TUninstallInfo info;
  info.Valid = valid;
  info.SystemComponent = system;
  return info;
}

TEST(ListPresentation, CellColoursOfEveryKindOfRow) {
  TMainParams p;
  using C = CellColors;
  struct Case {
    bool valid, system;
    int column;
    const char* text;
    CellColors colors;
  };
  const Case cases[] = {
      {true, false, 0, "Name", C{0xDEE0D8, {}}},
      {true, false, 1, "Publisher", C{0xD6D8D1, {}}},
      {true, false, 8, "C:\\u.exe", C{0xDEE0D8, {}}},  // the uninstall string keeps its colour
      {true, false, 9, "C:\\u.exe /S", C{0xD6D8D1, 0x800000}},
      {true, false, 11, "20260101", C{0xD6D8D1, 0x800000}},
      {true, false, 14, "https://example.com", C{0xDEE0D8, 0x0000FF}},
      {true, false, 15, "not a link", C{0xD6D8D1, {}}},
      {true, false, 17, "https://example.com", C{0xD6D8D1, {}}},  // help link: plain
      {true, true, 9, "x", C{0xB3B9C4, 0x000080}},
      {false, false, 14, "https://example.com", C{0xDAC9C0, 0xFF0000}},
      {false, true, 3, "", C{0xB3B9C4, 0xFF0000}},  // invalid system component
  };
  for (const Case& c : cases)
    EXPECT_EQ(SubItemColors(Entry(c.valid, c.system), c.column, c.text, p), c.colors)
        << c.column << " " << c.text;
  EXPECT_EQ(ItemColors(Entry(false, true), p), (C{0xDAC9C0, 0xFF0000}));
  EXPECT_EQ(ItemColors(Entry(true, true), p), C{});
}

TEST(ListPresentation, IconSources) {
  TUninstallInfo own = Entry(false, false);
  own.HasIcon = true;  // an invalid entry with an icon of its own keeps it
  EXPECT_EQ(IconSourceOf(own), IconSource::Own);
  EXPECT_EQ(IconSourceOf(Entry(false, false)), IconSource::Invalid);
  EXPECT_EQ(IconSourceOf(Entry(true, true)), IconSource::Default);
}

TEST(ListPresentation, FrequencyWordsAndViewCycle) {
  EXPECT_EQ(TranslateFrequencyCell("rarely (0)", Language::Polish), "rzadko (0)");
  EXPECT_EQ(TranslateFrequencyCell("rzadko (0)", Language::English), "rarely (0)");
  EXPECT_EQ(TranslateFrequencyCell("occasionally (7)", Language::Polish), "okazjonalnie (7)");
  EXPECT_EQ(TranslateFrequencyCell("często (99)", Language::English), "frequently (99)");
  EXPECT_EQ(TranslateFrequencyCell("", Language::Polish), "");
  ViewStyle style = ViewStyle::Details;
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) seen.push_back(ViewStyleNumber(style = NextViewStyle(style)));
  EXPECT_EQ(seen, (std::vector<int>{0, 2, 1, 3}));
  EXPECT_EQ(ViewStyleFromNumber(7), ViewStyle::Details);
  EXPECT_EQ(ViewStyleFromNumber(-1), ViewStyle::Details);
  EXPECT_EQ(ViewStyleFromNumber(1), ViewStyle::SmallIcons);
}

}  // namespace
}  // namespace pgl
