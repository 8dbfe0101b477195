#include <gtest/gtest.h>

#include "TestSupport.h"
#include "inventory/CommandAnalysis.h"
#include "inventory/UCollection.h"
#include "platform/wine/WinePlatform.h"

namespace pgl {
namespace {

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakePrefixDirs(dir.Path());
    for (const char* file :
         {"C:\\windows\\system32\\msiexec.exe", "C:\\windows\\system32\\rundll32.exe",
          "C:\\Program Files\\App\\unins000.exe", "C:\\App\\setup.exe", "C:\\App\\uninst.exe",
          "C:\\App\\app.ico", "C:\\My,Dir\\app.ico", "C:\\Program Files\\Quiet\\q.exe"})
      test::MakeWindowsFile(dir.Path(), file);
    ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, test::kBasicMachineRegistry));
    platform = std::make_unique<WinePlatform>(dir.Path(), registry);
  }
  test::TempDir dir;
  MemoryRegistry registry;
  std::unique_ptr<WinePlatform> platform;
};

TEST_F(CommandTest, ExtractExeFromCommand) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\Program Files\\App\\unins000.exe\"", "C:\\Program Files\\App\\unins000.exe"},
      {"\"C:\\Program Files\\App\\unins000.exe\" /SILENT", "C:\\Program Files\\App\\unins000.exe"},
      {"  C:\\App\\setup.exe -uninstall\t", "C:\\App\\setup.exe"},
      {"MsiExec.exe /I{3C5B7A91-2D4E-4F60-8A1B-9C0D1E2F3A4B}",
       "C:\\windows\\system32\\msiexec.exe"},
      {"msiexec /x {GUID}", "C:\\windows\\system32\\msiexec.exe"},
      {"RunDll32 C:\\Windows\\some.dll,Entry", "C:\\windows\\system32\\rundll32.exe"},
      {"rundll32.exe setupapi.dll,InstallHinfSection", "C:\\windows\\system32\\rundll32.exe"},
      {"C:\\App\\uninst.exe REMOVE=ALL", "C:\\App\\uninst.exe "},  // keeps the blank after .exe
      {"C:\\Gone\\Uninstall.EXE REMOVE=ALL", "C:\\Gone\\Uninstall.EXE "},
      {"C:\\Gone\\Uninstall.exe", "C:\\Gone\\Uninstall.exe"},
      {"C:\\Gone\\Uninstall.exeż", "C:\\Gone\\Uninstall.exeż"},  // never cut inside a character
      {"C:/Apps/x.exe", "C:"},                                   // cut at the first slash
      {"C:\\Gone\\setup.exe -x /y", "C:\\Gone\\setup.exe"},
      {"   ", ""},
      {"", ""},
      {"\"\"", ""},
  };
  for (const auto& [command, exe] : cases)
    EXPECT_EQ(ExtractExeFromCommand(*platform, command), exe) << command;
}

TEST_F(CommandTest, ValidityUsesTheFirstCommandPresent) {
  struct Case {
    const char* uninstall;
    const char* quiet;
    const char* modify;
    bool valid;
  };
  const Case cases[] = {
      {"C:\\App\\uninst.exe REMOVE=ALL", "", "", true},
      {"", "\"C:\\Program Files\\Quiet\\q.exe\" /S", "", true},
      {"", "", "MsiExec.exe /I{X}", true},
      {"C:\\Gone\\u.exe", "\"C:\\Program Files\\Quiet\\q.exe\" /S", "", false},
      {" ", "\"C:\\Program Files\\Quiet\\q.exe\" /S", "", false},  // blank, but not empty
      {"", "", "", false},
      {"C:\\App", "", "", false},  // a folder
  };
  for (const auto& c : cases) {
    TUninstallInfo info;
    info.UninstallString = c.uninstall;
    info.QuietUninstallString = c.quiet;
    info.ModifyPath = c.modify;
    EXPECT_EQ(IsValidEntry(*platform, info), c.valid) << c.uninstall << "|" << c.quiet;
  }
}

TEST_F(CommandTest, UninstallStringAndIconLocation) {
  const std::pair<const char*, const char*> exes[] = {
      {"\"%ProgramFiles%\\App\\unins000.exe\" /S", "C:\\Program Files\\App\\unins000.exe "},
      {"C:\\App\\uninst.exe", "C:\\App\\uninst.exe"},
      {"MsiExec.exe /X{1}", "MsiExec.exe "},
      {"C:\\App\\setup.exe-x", "C:\\App\\setup.exe-x"},
  };
  for (const auto& [command, exe] : exes)
    EXPECT_EQ(ExtractExeFromUninstallString(*platform, command), exe) << command;

  struct IconCase {
    const char* location;
    const char* path;
    bool hasIndex;
    int index;
  };
  const IconCase icons[] = {
      {"C:\\App\\app.exe,0", "C:\\App\\app.exe", true, 0},
      {"\"C:\\App\\app.exe\",-101", "C:\\App\\app.exe", true, -101},
      {"C:\\My,Dir\\app.ico", "C:\\My,Dir\\app.ico", false, 0},
      {"C:\\App\\app.exe,x", "C:\\App\\app.exe,x", false, 0},
      {"%ProgramFiles%\\App\\a.exe,3", "C:\\Program Files\\App\\a.exe", true, 3},
      {"app.exe,2", "app.exe", true, 2},
      {"", "", false, 0},
  };
  for (const auto& c : icons) {
    const IconLocation loc = SplitIconLocation(*platform, c.location);
    EXPECT_EQ(loc.path, c.path) << c.location;
    EXPECT_EQ(loc.hasIndex, c.hasIndex) << c.location;
    EXPECT_EQ(loc.index, c.index) << c.location;
  }
}

TEST(DisplayTexts, FrequencyWordsAndDates) {
  constexpr Language en = Language::English, pl = Language::Polish;
  const std::tuple<int, Language, const char*> words[] = {
      {0, en, "rarely"},  {2, en, "rarely"},      {3, en, "occasionally"}, {10, pl, "okazjonalnie"},
      {11, pl, "często"}, {11, en, "frequently"}, {0, pl, "rzadko"},       {-1, en, ""},
  };
  for (const auto& [count, lang, word] : words)
    EXPECT_EQ(UsageFrequencyText(count, lang), word) << count;

  // The tests run with TZ=UTC and the C locale's short date, %m/%d/%y.
  const std::pair<std::uint64_t, const char*> dates[] = {
      {0, ""},
      {~0ull, "n/a"},
      {0x8000000000000000ull, "n/a"},
      {132224078450000000ull, "01/02/20"},  // 2020-01-02 03:04:05 UTC
      {116444736000000000ull, "01/01/70"},
  };
  for (const auto& [time, text] : dates) EXPECT_EQ(FileTimeToDateText(time), text) << time;
}

}  // namespace
}  // namespace pgl
