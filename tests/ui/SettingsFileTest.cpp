// The settings file: every key's bounds, the order and form it is written in, and what a
// run that ended maximised keeps.
#include <gtest/gtest.h>

#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "ui/main/SettingsFile.h"
#include "ui/main/Startup.h"

namespace pgl {
namespace {

MainWindowSettings Current() {
  MainWindowSettings s;
  s.width = 800;
  s.height = 600;
  s.left = 10;
  s.top = 10;
  s.bottomPanelHeight = 120;
  s.columnWidths.assign(22, 100);
  return s;
}

MainWindowSettings Read(const std::string& mainLines, TMainParams& params) {
  IniFile ini;
  ini.LoadText("[MAIN]\n" + mainLines);
  return ReadMainSettings(ini, Current(), {1920, 1080}, params, std::vector<int>(22, 0));
}

TEST(SettingsFile, EveryKeyIsBroughtIntoItsBounds) {
  struct Case {
    const char* lines;
    int MainWindowSettings::*field;
    int expected;
  };
  const Case cases[] = {
      {"", &MainWindowSettings::width, 800},  // missing: the window's own
      {"Width=5000", &MainWindowSettings::width, 1920},
      {"Height=5000", &MainWindowSettings::height, 1080},
      {"Left=1901", &MainWindowSettings::left, 20},
      {"Left=1900", &MainWindowSettings::left, 1900},
      {"Left=-5", &MainWindowSettings::left, 0},
      {"Top=1061", &MainWindowSettings::top, 20},
      {"BottomPanelHeight=2", &MainWindowSettings::bottomPanelHeight, 5},
      {"BottomPanelHeight=999", &MainWindowSettings::bottomPanelHeight, 320},
      {"BottomPanelHeight=abc", &MainWindowSettings::bottomPanelHeight, 120},
      {"ViewStyle=0", &MainWindowSettings::viewStyle, 0},
      {"ViewStyle=-2", &MainWindowSettings::viewStyle, 3},
      {"ViewStyle=9", &MainWindowSettings::viewStyle, 3},
      {"CurrentSort=$10", &MainWindowSettings::currentSort, 16},
      {"currentsort = 5", &MainWindowSettings::currentSort, 5},  // names without case
  };
  for (const Case& c : cases) {
    TMainParams params;
    EXPECT_EQ(Read(c.lines, params).*(c.field), c.expected) << c.lines;
  }
  TMainParams params;
  const auto s = Read(
      "lvColumn00=5\nlvColumn01=5000\nlvColumn02=250\nLanguage=pl\nNoAutoCheckReg=1\n"
      "ShowInvalidItems=0\nShowOnlyInvalidItems=7\nSystemComponentsVisible=1\n",
      params);
  EXPECT_EQ(s.columnWidths[0], 20);
  EXPECT_EQ(s.columnWidths[1], 1000);
  EXPECT_EQ(s.columnWidths[2], 250);
  EXPECT_EQ(s.columnWidths[3], 20);  // missing: 0, brought up to 20
  EXPECT_EQ(s.language, Language::Polish);
  EXPECT_TRUE(s.noAutoCheckReg);
  EXPECT_FALSE(params.ShowInvalidItems);
  EXPECT_TRUE(params.ShowOnlyInvalidItems);
  EXPECT_TRUE(s.systemComponentsVisible);
  TMainParams other;
  EXPECT_FALSE(Read("NoAutoCheckReg=2\nLanguage=de\n", other).noAutoCheckReg);
  EXPECT_EQ(Read("Language=de\n", other).language, Language::English);
  // A column the file predates takes its own default width.
  IniFile old;
  old.LoadText("[MAIN]\nlvColumn00=300\n");
  std::vector<int> defaults(22, 0);
  defaults[21] = 300;
  EXPECT_EQ(ReadMainSettings(old, Current(), {1920, 1080}, other, defaults).columnWidths[21], 300);
}

TEST(SettingsFile, WrittenInOrderKeepingOtherLinesAndTheLastNormalSize) {
  IniFile ini;
  ini.LoadText("; kept\n[MAIN]\nNoAutoCheckReg=1\nWidth=640\n\n[Other]\nx=1\n");
  MainWindowSettings s = Current();
  s.columnWidths.assign(2, 150);
  s.maximized = true;  // the size of the last normal run stays
  s.language = Language::Polish;
  TMainParams params;
  WriteMainSettings(ini, s, params);
  EXPECT_EQ(ini.Text(),
            "; kept\r\n[MAIN]\r\nNoAutoCheckReg=1\r\nWidth=640\r\nMaximized=1\r\nLanguage=PL\r\n"
            "SystemComponentsVisible=0\r\nShowInvalidItems=1\r\nShowOnlyInvalidItems=0\r\n"
            "ViewStyle=3\r\nSortAscending=1\r\nCurrentSort=0\r\nBottomPanelVisible=1\r\n"
            "ToolbarVisible=1\r\nNoGradient=0\r\nToolbarList=0\r\nBottomPanelHeight=120\r\n"
            "lvColumn00=150\r\nlvColumn01=150\r\n\r\n[Other]\r\nx=1\r\n");
  // Read back, a normal run gives back what it wrote.
  s.maximized = false;
  WriteMainSettings(ini, s, params);
  TMainParams again;
  const auto back =
      ReadMainSettings(ini, MainWindowSettings{.columnWidths = {0, 0}}, {1920, 1080}, again);
  EXPECT_EQ(back.width, 800);
  EXPECT_EQ(back.left, 10);
  EXPECT_FALSE(back.maximized);
  EXPECT_EQ(back.columnWidths, (std::vector<int>{150, 150}));
}

TEST(StartupRecords, CountsStartsLeavesATextCounterAndSaysWhenRefused) {
  MemoryRegistry registry;
  for (int start = 1; start <= 2; ++start) {
    const auto records = WriteStartupRecords(registry, "Z:\\pgl", "Z:\\", start == 1 ? "d1" : "d2");
    EXPECT_TRUE(records.written) << records.refusal;
  }
  TRegistry reg(registry);
  reg.SetRootKey(kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kProgramKey));
  EXPECT_EQ(reg.ReadInteger("RunCounter"), 2);
  EXPECT_EQ(reg.ReadString("FirstRun"), "d1");  // written once
  // A counter stored as text is never counted.
  ASSERT_TRUE(RegWriteString(registry, kHkeyCurrentUser, kProgramKey, "RunCounter", "many"));
  WriteStartupRecords(registry, "Z:\\pgl", "Z:\\", "d3");
  ASSERT_TRUE(reg.OpenKeyReadOnly(kProgramKey));
  EXPECT_EQ(reg.ReadString("RunCounter"), "many");
  // A registry that may not be written: nothing is written, and the reason is kept.
  MemoryRegistry locked;
  locked.SetWritable(kHkeyCurrentUser, false);
  locked.SetWritable(kHkeyLocalMachine, false);
  const auto refused = WriteStartupRecords(locked, "Z:\\pgl", "Z:\\", "d");
  EXPECT_FALSE(refused.written);
  EXPECT_EQ(refused.refusal, "Access denied");
  // The same once the records are there: the count alone is refused, and that is told too.
  MemoryRegistry recorded;
  WriteStartupRecords(recorded, "Z:\\pgl", "Z:\\", "d");
  recorded.SetWritable(kHkeyCurrentUser, false);
  recorded.SetWritable(kHkeyLocalMachine, false);
  const auto counted = WriteStartupRecords(recorded, "Z:\\pgl", "Z:\\", "d");
  EXPECT_FALSE(counted.written);
  EXPECT_EQ(counted.refusal, "Access denied");
  EXPECT_EQ(FirstBackupFileName("/x", {2026, 12, 7, 9, 5, 3, 42}),
            "/x/first_registry_backup_2026.12.07 - 09_05_03.042.reg");
}

}  // namespace
}  // namespace pgl
