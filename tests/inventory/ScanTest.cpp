#include <gtest/gtest.h>

#include <map>

#include "TestSupport.h"
#include "inventory/EntryList.h"
#include "inventory/UCollection.h"
#include "platform/wine/WinePlatform.h"
#include "util/QV_Conversion.h"

namespace pgl {
namespace {

// A 552-byte SlowInfoCache as Wine registry hex text.
std::string SlowInfoHex(std::size_t size, std::int64_t installed, std::int32_t times,
                        const std::u16string& image) {
  TSlowInfoCache cache;
  cache.SetInstalledSize(installed);
  cache.SetTimesUsed(times);
  cache.SetLastUsed(132224078450000000ull);
  cache.SetImageName(image);
  const std::string bytes = cache.Bytes();
  std::string hex;
  char byte[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02x",
                  i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0);
    hex += (i ? "," : "");
    hex += byte;
  }
  return hex;
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakePrefixDirs(dir.Path());
    for (const char* file : {"C:\\Apps\\A\\uninst.exe", "C:\\Apps\\A\\a.ico", "C:\\Apps\\B\\b.exe",
                             "C:\\Apps\\Q\\q.exe", "C:\\Apps\\C\\prog.exe"})
      test::MakeWindowsFile(dir.Path(), file);
    const std::string u = "\n[SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";
    const std::string a =
        "\n[SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Management\\\\ARPCache\\\\";
    const std::string longName(120, 'L');
    std::string text = test::kBasicMachineRegistry;
    text += u +
            "Alpha] 1\n\"DisplayName\"=\"Alpha App\"\n"
            "\"UninstallString\"=\"\\\"C:\\\\Apps\\\\A\\\\uninst.exe\\\" /S\"\n"
            "\"DisplayIcon\"=\"C:\\\\Apps\\\\A\\\\a.ico,3\"\n\"Publisher\"=\"Tervask\"\n"
            "\"DisplayVersion\"=dword:00000001\n\"SystemComponent\"=dword:00000000\n";
    text += u +
            "bravo] 1\n\"UninstallString\"=\"C:\\\\Gone\\\\x.exe\"\n"
            "\"DisplayIcon\"=\"C:\\\\Gone\\\\x.exe,0\"\n\"SystemComponent\"=dword:00000001\n";
    text += u +
            "Charlie] 1\n\"UninstallString\"=\"C:\\\\Apps\\\\B\\\\b.exe REMOVE=ALL\"\n"
            "\"SystemComponent\"=\"1\"\n";
    text += u +
            "Delta] 1\n\"QuietUninstallString\"=\"C:\\\\Apps\\\\Q\\\\q.exe /S\"\n"
            "\"SystemComponent\"=dword:00000002\n\"DisplayName\"=\"\"\n";
    text += u + "Echo] 1\n\"DisplayName\"=\"Echo\"\n\"Readme\"=dword:00000001\n";
    text += u + longName + "] 1\n";
    text += a + "BRAVO] 1\n\"SlowInfoCache\"=hex:" +
            SlowInfoHex(552, 123456, 7, u"C:\\Apps\\C\\prog.exe") + "\n";
    text += a + "Charlie] 1\n\"SlowInfoCache\"=hex:" + SlowInfoHex(548, 1, 1, u"x") + "\n";
    text += a + "Delta] 1\n\"SlowInfoCache\"=hex:" + SlowInfoHex(556, 1, 1, u"x") + "\n";
    text += a + "Echo] 1\n\"SlowInfoCache\"=\"not binary\"\n";
    text += a + "OnlyInCache] 1\n\"SlowInfoCache\"=hex:" + SlowInfoHex(552, 5, 5, u"y") + "\n";
    ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, text));
  }

  const TUninstallInfo& Entry(const TUninstallCollection& c, const std::string& key) {
    for (int i = 0; i < c.Count(); ++i)
      if (c.GetItem(i).UninstallInfo.KeyName.str() == key) return c.GetItem(i).UninstallInfo;
    throw std::runtime_error("no entry " + key);
  }

  test::TempDir dir;
  MemoryRegistry registry;
};

TEST_F(ScanTest, EveryRuleOfTheScan) {
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  // The ARPCache spelling of a name under both keys wins; names only in ARPCache are kept
  // in the list of names but give no entry.
  ASSERT_EQ(c.KeyNames().size(), 7u);
  EXPECT_EQ(c.KeyNames()[1], "BRAVO");
  c.SystemComponentsVisible = false;
  const ScanReport report = c.ReadUninstallEntries();
  EXPECT_TRUE(report.uninstallKeyFound);
  // Alpha's DisplayVersion and Echo's Readme are DWORDs: counted, the first named.
  EXPECT_EQ(report.unreadableValues, 2);
  EXPECT_EQ(report.firstUnreadable, "Alpha: DisplayVersion");
  ASSERT_EQ(c.Count(), 6);

  const TUninstallInfo& alpha = Entry(c, "Alpha");
  EXPECT_EQ(alpha.DisplayName.str(), "Alpha App");
  EXPECT_EQ(alpha.Publisher.str(), "Tervask");  // read after the unreadable value
  EXPECT_EQ(alpha.DisplayVersion.str(), "");
  EXPECT_TRUE(alpha.Valid);
  EXPECT_FALSE(alpha.SystemComponent);
  EXPECT_EQ(alpha.IconFile, "C:\\Apps\\A\\a.ico");
  EXPECT_EQ(alpha.IconIndex, 0);
  EXPECT_TRUE(alpha.HasIcon);

  const TUninstallInfo& bravo = Entry(c, "BRAVO");
  EXPECT_EQ(bravo.DisplayName.str(), "BRAVO");
  EXPECT_FALSE(bravo.Valid);
  EXPECT_TRUE(bravo.SystemComponent);
  EXPECT_FALSE(bravo.Visible);  // system components hidden during this scan
  EXPECT_EQ(bravo.SlowInfo.InstalledSize(), 123456);
  EXPECT_EQ(bravo.SlowInfo.TimesUsed(), 7);
  EXPECT_EQ(bravo.ExeFile, "C:\\Apps\\C\\prog.exe");
  EXPECT_EQ(bravo.IconFile, "C:\\Apps\\C\\prog.exe");  // icon file missing: the program file

  const TUninstallInfo& charlie = Entry(c, "Charlie");
  EXPECT_FALSE(charlie.SystemComponent);  // a text "1" is not a system component
  EXPECT_TRUE(charlie.Valid);
  EXPECT_EQ(charlie.SlowInfo.InstalledSize(), 0);      // 548 bytes: ignored
  EXPECT_EQ(charlie.IconFile, "C:\\Apps\\B\\b.exe ");  // from the uninstall command

  const TUninstallInfo& delta = Entry(c, "Delta");
  EXPECT_EQ(delta.DisplayName.str(), "Delta");
  EXPECT_FALSE(delta.SystemComponent);
  EXPECT_TRUE(delta.Valid);      // validated by its quiet command
  EXPECT_EQ(delta.ExeFile, "");  // 556 bytes: ignored

  const TUninstallInfo& echo = Entry(c, "Echo");
  EXPECT_FALSE(echo.Valid);
  EXPECT_FALSE(echo.HasIcon);
  EXPECT_EQ(echo.SlowInfo.InstalledSize(), 0);  // REG_SZ: ignored

  const TUninstallInfo& longOne = c.GetItem(c.Count() - 1).UninstallInfo;
  EXPECT_EQ(longOne.KeyName.str(), std::string(100, 'L'));
  EXPECT_EQ(longOne.DisplayName.str(), std::string(120, 'L'));

  EXPECT_EQ(
      (std::vector<int>{c.TotalCount, c.ValidCount, c.InvalidCount, c.HiddenCount, c.SystemCount}),
      (std::vector<int>{6, 3, 3, 1, 1}));

  // Left out by the scan, the uninstallers are not looked for: the entry whose uninstaller is
  // gone counts as valid until FindUninstallers. One without a command is invalid at once.
  c.CheckUninstallers = false;
  c.ReadUninstallEntries();
  EXPECT_TRUE(Entry(c, "BRAVO").Valid);
  EXPECT_FALSE(Entry(c, "Echo").Valid);
  c.FindUninstallers();
  EXPECT_FALSE(Entry(c, "BRAVO").Valid);
  EXPECT_EQ(c.InvalidCount, 3);
}

TEST(ScanIdentity, KeysTheRegistryTellsApartStayApartAndCommandsThatAreNotTextAreInvalid) {
  test::TempDir dir;
  test::MakePrefixDirs(dir.Path());
  test::MakeWindowsFile(dir.Path(), "C:\\Apps\\ok.exe");
  MemoryRegistry registry;
  const std::string u = "\n[SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";
  std::string text = test::kBasicMachineRegistry;
  // "AB" and its full-width form collate alike but are two keys; "ab" is the same key as "AB"
  // for the registry, so the file cannot hold both.
  text += u + "AB] 1\n\"UninstallString\"=\"C:\\\\Apps\\\\ok.exe\"\n";
  text += u + "\\xff21\\xff22] 1\n\"UninstallString\"=\"C:\\\\Apps\\\\ok.exe\"\n";
  // A command that is there but is not text decides: invalid, whatever the next one says.
  text += u +
          "NotText] 1\n\"UninstallString\"=dword:00000001\n"
          "\"QuietUninstallString\"=\"C:\\\\Apps\\\\ok.exe /S\"\n";
  text += u + "EmptyFirst] 1\n\"UninstallString\"=\"\"\n\"ModifyPath\"=hex:01\n";
  text += u +
          "LaterNotText] 1\n\"UninstallString\"=\"C:\\\\Apps\\\\ok.exe\"\n"
          "\"ModifyPath\"=hex:01\n";
  ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, text));
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  c.ReadUninstallEntries();
  std::map<std::string, bool> valid;
  for (int i = 0; i < c.Count(); ++i)
    valid[c.GetItem(i).UninstallInfo.KeyName.str()] = c.GetItem(i).UninstallInfo.Valid;
  EXPECT_EQ(valid, (std::map<std::string, bool>{{"AB", true},
                                                {"\uFF21\uFF22", true},
                                                {"NotText", false},
                                                {"EmptyFirst", false},
                                                {"LaterNotText", true}}));
}

TEST_F(ScanTest, ReadOnlyRegistryIsStillListed) {
  registry.SetWritable(kHkeyLocalMachine, false);
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  EXPECT_TRUE(c.ReadUninstallEntries().uninstallKeyFound);
  EXPECT_EQ(c.Count(), 6);
}

// What real programs write fits its field whole; a value that is longer still never passes for
// the value: it ends in "…" (the key name, an identifier, is cut unmarked).
TEST(EntryFields, RealValuesAreWholeAndLongerOnesMarkedCut) {
  const std::string url = "https://example.com/support?product=" + std::string(300, 'p');
  const std::string name(300, 'n');
  TUninstallInfo info;
  info.InstallDate = "Thu Jul 10 14:23:35 2025";
  info.DisplayVersion = "2024.1.2 (Build 241213.1830, 64-bit) Community Edition";
  info.URLInfoAbout = std::string(url);
  info.DisplayName = std::string(name);
  info.Publisher = "Zażółć " + std::string(100, 'z');
  info.KeyName = std::string(150, 'k');
  const struct {
    const char* field;
    std::string got, expected;
  } cases[] = {
      {"InstallDate", info.InstallDate.str(), "Thu Jul 10 14:23:35 2025"},
      {"DisplayVersion", info.DisplayVersion.str(),
       "2024.1.2 (Build 241213.1830, 64-bit) Community Edition"},
      {"URLInfoAbout", info.URLInfoAbout.str(), url},
      {"DisplayName", info.DisplayName.str(), std::string(139, 'n') + "\u2026"},
      {"Publisher", info.Publisher.str(), "Zażółć " + std::string(72, 'z') + "\u2026"},
      {"KeyName", info.KeyName.str(), std::string(100, 'k')},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.field;
  // Every output shows the date whole.
  EXPECT_EQ(RowTexts(info, Language::English)[11], "Thu Jul 10 14:23:35 2025");
}

// Wine writes no usage records: the size is the installer's EstimatedSize (KB, as Windows
// counts it); a usage record, where there is one, still says it.
TEST(ScanSizes, TheInstallersEstimateWhereThereIsNoUsageRecord) {
  test::TempDir dir;
  test::MakePrefixDirs(dir.Path());
  MemoryRegistry registry;
  const std::string u = "\n[SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";
  ASSERT_TRUE(
      registry.LoadWineText(kHkeyLocalMachine, std::string(test::kBasicMachineRegistry) + u +
                                                   "Big] 1\n\"EstimatedSize\"=dword:0032d54c\n" +
                                                   u + "Text] 1\n\"EstimatedSize\"=\"12\"\n" + u +
                                                   "Huge] 1\n\"EstimatedSize\"=dword:ffffffff\n"));
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  c.ReadUninstallEntries();
  std::map<std::string, const TUninstallInfo*> entries;
  for (int i = 0; i < c.Count(); ++i)
    entries[c.GetItem(i).UninstallInfo.KeyName.str()] = &c.GetItem(i).UninstallInfo;
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(EntrySize(*entries["Big"]), 3331404ll * 1024);  // 3.2 GB, not 0
  EXPECT_EQ(EntrySizeSource(*entries["Big"]), SizeSource::Estimate);
  EXPECT_EQ(EntrySize(*entries["Huge"]), -1);  // 0xFFFFFFFF: installers' "not known"
  EXPECT_EQ(EntrySize(*entries["Text"]), -1);  // not a DWORD: not known
  EXPECT_EQ(EntryTimesUsed(*entries["Big"]), -1);
  const auto big = RowTexts(*entries["Big"], Language::English);
  EXPECT_EQ(big[2], SizeToText(3331404ll * 1024) + " (3411357696)");
  EXPECT_EQ(big[4], "");
  EXPECT_EQ(SizeSourceNote(*entries["Big"], Language::Polish),
            "brak: rozmiar to szacunek instalatora (EstimatedSize)");
}

TEST_F(ScanTest, ListRowsAndFilters) {
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  c.ReadUninstallEntries();
  c.SortByName();
  const auto names = [&](bool system, ListFilter filter) {
    c.SystemComponentsVisible = system;
    std::vector<std::string> out;
    for (const auto& row : BuildListRows(c, filter, Language::English)) out.push_back(row.cells[0]);
    return out;
  };
  const std::string longName(120, 'L');
  EXPECT_EQ(names(true, {}),
            (std::vector<std::string>{"Alpha App", "BRAVO", "Charlie", "Delta", "Echo", longName}));
  EXPECT_EQ(names(false, {}),
            (std::vector<std::string>{"Alpha App", "Charlie", "Delta", "Echo", longName}));
  EXPECT_EQ(names(true, {false, false}),
            (std::vector<std::string>{"Alpha App", "Charlie", "Delta"}));
  EXPECT_EQ(names(true, {false, true}), (std::vector<std::string>{"BRAVO", "Echo", longName}));

  const auto bravo = RowTexts(Entry(c, "BRAVO"), Language::English);
  EXPECT_EQ(bravo[2], "120.56 KB (123456)");
  EXPECT_EQ(bravo[3], "01/02/20");
  EXPECT_EQ(bravo[4], "occasionally (7)");
  EXPECT_EQ(RowTexts(Entry(c, "BRAVO"), Language::Polish)[4], "okazjonalnie (7)");
  EXPECT_EQ(bravo[20], "1");
  const auto echo = RowTexts(Entry(c, "Echo"), Language::English);
  // No usage record (a value that is not one): size and use are not known, not 0.
  EXPECT_EQ(echo[2], "");
  EXPECT_EQ(echo[3], "");
  EXPECT_EQ(echo[4], "");
  TUninstallInfo negative;
  negative.SlowInfo.SetInstalledSize(-1);
  negative.SlowInfo.SetTimesUsed(-1);
  EXPECT_EQ(RowTexts(negative, Language::English)[2], "");
  EXPECT_EQ(RowTexts(negative, Language::English)[4], "");
}

TEST(ScanOfMany, FilesLookedForOnSeveralThreadsGiveWhatOneThreadGives) {
  // Enough entries for the checks to be spread over threads. Every third program's file is
  // there (one spelled in another case, found as Wine finds it), the others are missing; the
  // icon falls back from DisplayIcon to the program's file.
  test::TempDir dir;
  test::MakePrefixDirs(dir.Path());
  MemoryRegistry registry;
  const std::string u = "\n[SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";
  std::string text = test::kBasicMachineRegistry;
  constexpr int kCount = 1500;
  for (int i = 0; i < kCount; ++i) {
    const std::string n = std::to_string(i);
    if (i % 3 == 0) test::MakeWindowsFile(dir.Path(), "C:\\P\\" + n + "\\Un.exe");
    text += u + "K" + n + "] 1\n\"UninstallString\"=\"\\\"C:\\\\P\\\\" + n +
            "\\\\un.exe\\\" /x\"\n\"DisplayIcon\"=\"C:\\\\P\\\\" + n + "\\\\none.ico\"\n";
  }
  ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, text));
  WinePlatform platform(dir.Path(), registry);
  // The files looked for by the scan, or left out by it and looked for afterwards (as the window
  // does once its list is painted): the same in the end.
  for (const bool later : {false, true}) {
    TUninstallCollection c(registry, platform);
    c.CheckUninstallers = c.FindIconFiles = !later;
    c.ReadUninstallEntries();
    ASSERT_EQ(c.Count(), kCount);
    if (later) {
      // Until then every entry counts as valid; none has an icon.
      EXPECT_EQ(c.ValidCount, kCount);
      EXPECT_FALSE(c.GetItem(0).UninstallInfo.HasIcon);
      c.FindUninstallers();
      c.ResolveIcons();
    }
    c.FindUninstallers();  // nothing left out now: nothing changes
    int wrong = 0;
    for (int i = 0; i < c.Count(); ++i) {
      const TUninstallInfo& info = c.GetItem(i).UninstallInfo;
      const int n = std::stoi(info.KeyName.str().substr(1));
      const bool there = n % 3 == 0;
      if (info.Valid != there || info.HasIcon != there ||
          (there && info.IconFile.rfind("C:\\P\\" + std::to_string(n) + "\\un.exe", 0) != 0))
        ++wrong;
    }
    EXPECT_EQ(wrong, 0) << later;
    EXPECT_EQ(c.ValidCount, kCount / 3) << later;
  }
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

// The filter box's rule: every word, whatever its case (Polish letters too), in the name, the
// publisher or the registry key; an empty or blank filter matches everything.
TEST(TextFilter, EveryWordInTheNamePublisherOrKey) {
  TUninstallInfo info;
  info.DisplayName = "Zażółć Photo Studio";
  info.Publisher = "Aurora Imaging";
  info.KeyName = "{5A000000-1E2D}";
  info.View = UninstallView::Machine;
  const struct {
    const char* typed;
    bool matches;
  } cases[] = {
      {"", true},
      {"   ", true},
      {"photo", true},
      {"ZAŻÓŁĆ", true},
      {"zażółć studio", true},
      {"  studio   aurora ", true},
      {"imaging", true},
      {"5a000000", true},
      {"HKLM\\SOFTWARE", true},
      {"Uninstall\\{5A0", true},
      {"photo video", false},
      {"studios", false},
      {"Wow6432Node", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TextFilter(c.typed).Matches(info), c.matches) << '"' << c.typed << '"';
  EXPECT_TRUE(TextFilter(" \t ").Empty());
}

}  // namespace
}  // namespace pgl
