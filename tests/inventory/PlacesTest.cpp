// Entries of all three places: identified by place and key name through scan, sort, prune,
// removal and backup.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "inventory/EntryList.h"
#include "inventory/UCollection.h"
#include "inventory/UninstallEngine.h"
#include "platform/wine/WinePlatform.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"

namespace pgl {
namespace {

constexpr const char* kMachine = R"(SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\)";
constexpr const char* kMachine32 = R"(SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\)";
constexpr const char* kUser = R"(Software\\Microsoft\\Windows\\CurrentVersion\\)";

std::string Key(const char* base, const std::string& rest, const std::string& values) {
  return "\n[" + std::string(base) + rest + "] 1\n" + values;
}

class PlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakePrefixDirs(dir.Path());
    std::string machine = test::kBasicMachineRegistry;
    machine += Key(kMachine, R"(Uninstall\\Shared)", "\"DisplayName\"=\"Shared 64\"\n");
    machine += Key(kMachine, R"(Uninstall\\Shared\\Sub)", "\"x\"=\"y\"\n");
    machine += Key(kMachine, R"(App Management\\ARPCache\\Shared)", "\"a\"=\"1\"\n");
    machine += Key(kMachine32, R"(Uninstall\\Shared)", "\"DisplayName\"=\"Shared 32\"\n");
    machine += Key(kMachine32, R"(App Management\\ARPCache\\Shared)", "\"a\"=\"2\"\n");
    machine += Key(kMachine32, R"(Uninstall\\Only32)", "\"DisplayName\"=\"Only 32\"\n");
    machine +=
        Key(kMachine, R"(Uninstall\\)" + std::string(130, 'L'), "\"DisplayName\"=\"Long\"\n");
    ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, machine));
    ASSERT_TRUE(registry.LoadWineText(
        kHkeyCurrentUser, Key(kUser, R"(Uninstall\\Shared)", "\"DisplayName\"=\"Shared user\"\n")));
  }

  std::vector<std::string> Keys(const TUninstallCollection& c) {
    std::vector<std::string> keys;
    for (int i = 0; i < c.Count(); ++i) keys.push_back(RegistryKeyOf(c.GetItem(i).UninstallInfo));
    return keys;
  }

  test::TempDir dir;
  MemoryRegistry registry;
};

const std::string kM = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kM32 =
    "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kU = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST_F(PlacesTest, EveryPlaceIsScannedWithItsOwnKeys) {
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  c.ReadUninstallEntries();
  const std::string longKey = kM + std::string(130, 'L');
  EXPECT_EQ(Keys(c), (std::vector<std::string>{longKey, kM + "Shared", kM32 + "Only32",
                                               kM32 + "Shared", kU + "Shared"}));
  // The same key name in two places stays two entries through a sort by name and by key.
  c.SortByName();
  EXPECT_EQ(c.GetItem(2).UninstallInfo.DisplayName.str(), "Shared 32");
  c.SortItems(SortKey::RegistryKey);
  EXPECT_EQ(Keys(c).front(), kU + "Shared");
  EXPECT_EQ(RowTexts(c.GetItem(0).UninstallInfo, Language::English).back(), kU + "Shared");
  EXPECT_EQ(std::string(ListColumns().back().caption.In(Language::Polish)), "Klucz rejestru");

  // A name longer than the 100-character field still names its own key.
  PruneNonExisting(c);
  EXPECT_EQ(c.Count(), 5);

  // A 32-bit system has no Wow6432Node place.
  registry.Set64BitSystem(false);
  TUninstallCollection c32(registry, platform);
  c32.ReadUninstallEntries();
  EXPECT_EQ(c32.Count(), 3);
  EXPECT_TRUE(c32.KeyNames(UninstallView::Machine32).empty());
}

TEST_F(PlacesTest, RemoveDeletesOnlyTheChosenPlacesKeysAndSaysWhatFailed) {
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection c(registry, platform);
  c.ReadUninstallEntries();
  std::vector<TUninstallInfo> chosen;
  for (int i = 0; i < c.Count(); ++i)
    if (RegistryKeyOf(c.GetItem(i).UninstallInfo) == kM32 + "Shared" ||
        RegistryKeyOf(c.GetItem(i).UninstallInfo) == kM + "Shared")
      chosen.push_back(c.GetItem(i).UninstallInfo);
  ASSERT_EQ(chosen.size(), 2u);
  registry.SetWritable(kHkeyCurrentUser, false);  // not touched: nothing chosen there
  EXPECT_TRUE(RemoveEntries(registry, chosen).empty());
  const std::string m = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
  const std::string m32 = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
  for (const std::string& gone :
       {m + "Uninstall\\Shared", m + "App Management\\ARPCache\\Shared", m32 + "Uninstall\\Shared",
        m32 + "App Management\\ARPCache\\Shared"})
    EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, gone)) << gone;
  EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, m32 + "Uninstall\\Only32"));
  EXPECT_TRUE(RegKeyExists(registry, kHkeyCurrentUser,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Shared"));
  EXPECT_EQ(PruneNonExisting(c), 2);
  EXPECT_EQ(c.Count(), 3);

  // A refused write is reported with its reason, and the entry stays.
  std::vector<TUninstallInfo> user;
  for (int i = 0; i < c.Count(); ++i)
    if (c.GetItem(i).UninstallInfo.View == UninstallView::User)
      user.push_back(c.GetItem(i).UninstallInfo);
  const auto failures = RemoveEntries(registry, user);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].registryKey, kU + "Shared");
  EXPECT_EQ(failures[0].reason, "Access denied");
  EXPECT_EQ(PruneNonExisting(c), 0);

  // An entry without a key name never names the Uninstall key itself.
  TUninstallInfo nameless;
  EXPECT_EQ(RemoveEntries(registry, {nameless}).size(), 1u);
  EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, m + "Uninstall"));
}

TEST_F(PlacesTest, BackupHoldsEveryPlaceThatExists) {
  const auto keys = BackupKeys(registry);
  ASSERT_EQ(keys.size(), 5u);  // three Uninstall keys, then the two usage-record keys there are
  const std::string text = BuildRegistryExport(registry, keys, 1252).bytes;
  const std::vector<std::string> headers = {
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]",
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Shared\\Sub]",
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall]",
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
      "Only32]\r\n\"DisplayName\"=\"Only 32\"",
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall]",
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Shared]\r\n"
      "\"DisplayName\"=\"Shared user\"\r\n",
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\"
      "ARPCache\\Shared]\r\n\"a\"=\"1\"",
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App "
      "Management\\ARPCache\\Shared]\r\n\"a\"=\"2\""};
  std::size_t at = 0;
  for (const auto& header : headers) {
    const std::size_t found = text.find(header, at);
    ASSERT_NE(found, std::string::npos) << header;
    at = found + 1;
  }
  EXPECT_TRUE(text.starts_with("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE"));
  EXPECT_TRUE(text.ends_with("\"a\"=\"2\"\r\n"));

  // With no Uninstall key anywhere, the machine's key alone, as an empty export.
  MemoryRegistry empty;
  const auto none = BackupKeys(empty);
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].root, kHkeyLocalMachine);
}

TEST(EntryKeyText, ReadsBackWhatIsShownAndNothingElse) {
  struct Case {
    const char* text;
    bool ok;
    UninstallView view;
    const char* name;
  };
  const Case cases[] = {
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", true,
       UninstallView::Machine, "App"},
      {"hklm\\software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall\\{A-B}", true,
       UninstallView::Machine32, "{A-B}"},
      {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ü x", true,
       UninstallView::User, "Ü x"},
      {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", false, {}, ""},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\A\\B", false, {}, ""},
      {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false, {}, ""},
      {"HKU\\S-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\A", false, {}, ""},
      {"App", false, {}, ""},
  };
  for (const Case& c : cases) {
    const auto ref = ParseEntryKeyText(c.text);
    ASSERT_EQ(ref.has_value(), c.ok) << c.text;
    if (!ref) continue;
    EXPECT_EQ(ref->view, c.view) << c.text;
    EXPECT_EQ(ref->keyName, c.name) << c.text;
    EXPECT_EQ(ParseEntryKeyText(EntryKeyText(ref->view, ref->keyName))->keyName, c.name);
  }
}

}  // namespace
}  // namespace pgl
