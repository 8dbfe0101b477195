// Leftovers tried as an attacker would: install folders spelled to reach the system, the
// profile or the home; desktop folders that are the home; programs named like Wine's keys; a
// link slipped into the way between finding and removing; names no registry script can hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "../TestSupport.h"
#include "inventory/Restore.h"
#include "inventory/UCollection.h"
#include "leftovers/Leftovers.h"
#include "leftovers/PlaceGuard.h"
#include "leftovers/StockPrefix.h"
#include "platform/Trash.h"
#include "platform/wine/WinePlatform.h"
#include "registry/QV_Registry.h"

namespace fs = std::filesystem;

namespace pgl {
namespace {

const std::string kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A prefix whose profile "u" has Wine's links to the home (which has no Desktop folder, so
// that the desktop is the home itself), and a home holding what a user keeps.
class AttackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix = dir / "pfx";
    home = dir / "home";
    test::MakePrefixDirs(prefix);
    const char* old = std::getenv("HOME");
    oldHome = old ? old : "";
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    for (const char* f : {".ssh/id_rsa", "Projects/code.c", ".config/app/x.ini",
                          ".local/share/applications/mine.desktop", "only/App/a.txt"})
      Write(home + "/" + f);
    for (const char* f :
         {"windows/system32/x.dll", "users/Public/Documents/p.txt", "ProgramData/Microsoft/x",
          "ProgramData/Microsoft/Windows/Start Menu/Programs/Other.lnk",
          "users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Other.lnk",
          "users/u/AppData/Local/Temp/t", "Program Files/Common Files/c.dll",
          "Games/Real/real.exe"})
      Write(prefix + "/drive_c/" + f);
    fs::create_directory_symlink(home, prefix + "/drive_c/users/u/Documents");
    fs::create_directory_symlink("../dosdevices", prefix + "/drive_c/evil");
    fs::create_directory_symlink("/", prefix + "/dosdevices/z:");
  }
  void TearDown() override { ::setenv("HOME", oldHome.c_str(), 1); }

  static void Write(const std::string& path) {
    test::MakeDirs(fs::path(path).parent_path().string());
    test::WriteFile(path, "x");
  }

  // The items offered for one program with these values, found after its uninstall.
  std::vector<Leftover> Find(const std::string& machineText, const std::string& userText = "") {
    registry = std::make_unique<MemoryRegistry>();
    EXPECT_TRUE(registry->LoadWineText(kHkeyLocalMachine, test::kBasicMachineRegistry));
    EXPECT_TRUE(registry->LoadWineText(kHkeyLocalMachine, machineText));
    EXPECT_TRUE(registry->LoadWineText(kHkeyCurrentUser, userText));
    platform = std::make_unique<WinePlatform>(prefix, *registry);
    TUninstallCollection collection(*registry, *platform);
    collection.SystemComponentsVisible = true;
    collection.ScanSorted();
    scope = LeftoverScope{};
    scope.registry = registry.get();
    scope.platform = platform.get();
    scope.prefixDir = prefix;
    scope.xdg = UserXdgFolders();
    for (int i = 0; i < collection.Count(); ++i)
      scope.listed.push_back(collection.GetItem(i).UninstallInfo);
    if (scope.listed.empty()) return {};
    const TUninstallInfo entry = scope.listed.front();
    scope.listed.clear();  // its uninstaller has run: it is gone
    return FindLeftovers(scope, CollectEvidence(scope, entry));
  }

  static std::string Entry(const std::string& name, const std::string& installLocation,
                           const std::string& publisher = "Evil Corp") {
    std::string key = kUninstall + name;
    std::string escaped;
    for (const char c : key) escaped += c == '\\' ? std::string(R"(\\)") : std::string(1, c);
    std::string location;
    for (const char c : installLocation)
      location += c == '\\' ? std::string(R"(\\)") : std::string(1, c);
    return "\n[" + escaped + "] 1\n\"DisplayName\"=\"" + name + "\"\n\"Publisher\"=\"" + publisher +
           "\"\n\"InstallLocation\"=\"" + location + "\"\n";
  }

  std::set<std::string> Texts(const std::vector<Leftover>& items) const {
    std::set<std::string> texts;
    const std::string drive = fs::canonical(prefix + "/drive_c").string();
    for (const auto& item : items) {
      std::string text = item.Text();
      if (text.rfind(drive, 0) == 0) text = "C:" + text.substr(drive.size());
      texts.insert(ConfidenceName(item.confidence) + " " + KindName(item.kind) + " " + text);
    }
    return texts;
  }

  test::TempDir dir;
  std::string prefix, home, oldHome;
  std::unique_ptr<MemoryRegistry> registry;
  std::unique_ptr<WinePlatform> platform;
  LeftoverScope scope;
};

// Whatever the spelling, a system, shell or profile folder, a drive, the home or anything in it
// is never offered; a plain folder of its own is.
TEST_F(AttackTest, InstallFoldersThatReachTheSystemOrTheHomeOfferNothing) {
  const struct {
    const char* location;
    std::set<std::string> expected;
  } cases[] = {
      {"C:\\users\\Public\\..\\..\\windows", {}},
      {"C:\\Windows.", {}},
      {"C:\\windows ", {}},
      {"C:\\WINDOWS\\system32", {}},
      {"C:\\", {}},
      {"C:\\.", {}},
      {"C:\\users", {}},
      {"C:\\users\\u", {}},
      {"C:\\users\\Public\\Documents", {}},
      {"C:\\ProgramData", {}},
      {"C:\\ProgramData\\Microsoft", {}},
      {"C:\\users\\u\\AppData\\Roaming\\Microsoft", {}},
      {"C:\\users\\u\\AppData\\Local\\Temp", {}},
      {"C:\\Program Files\\Common Files", {}},
      {"C:\\Program Files", {}},
      {"C:\\users\\u\\Documents", {}},
      {"C:\\users\\u\\Documents\\.ssh", {}},
      {"C:\\users\\u\\Documents\\Projects", {}},
      {"C:\\users\\u\\Documents\\.config\\app", {}},
      {"C:\\users\\u\\Documents\\only\\App", {}},
      {"C:\\evil\\c:", {}},
      {"C:\\evil", {}},
      {"Z:\\etc", {}},
      {"C:\\Games\\Real\\..\\..\\users\\u\\Documents", {}},
      {"C:\\Games\\Real.", {"sure folder C:/Games/Real", "sure folder C:/Games"}},
  };
  for (const auto& c : cases) {
    const auto items = Find(Entry("Evil", c.location));
    EXPECT_EQ(Texts(items), c.expected) << c.location;
  }
  // A record read back from its file names host paths itself: they are judged all the same.
  for (const std::string& folder :
       {prefix + "/drive_c/windows", prefix + "/drive_c/users/u/Documents", home + "/.ssh",
        prefix + "/dosdevices/c:", prefix + "/drive_c", prefix + "/drive_c/../drive_c/users",
        home + "/.local/share/applications", std::string("/etc")}) {
    Evidence ev;
    ev.prefix = prefix;
    ev.entryKey = "HKLM\\" + kUninstall + "Gone";
    ev.installFolder = folder;
    ev.shortcuts = {folder + "/x.lnk"};
    ev.shortcutsWindows = {"C:\\x.lnk"};
    ev.desktopFiles = {home + "/.local/share/applications/mine.desktop"};
    EXPECT_EQ(Texts(FindLeftovers(scope, ev)), std::set<std::string>{}) << folder;
  }
  EXPECT_TRUE(fs::exists(home + "/.ssh/id_rsa"));
}

// The guard's own answers for the desktop's folders: only what Wine's menu builder makes there,
// never the folders themselves or a user's file; nothing at all from a desktop that is the home.
TEST_F(AttackTest, OnlyWinesOwnFilesCountInTheDesktopsFolders) {
  const std::string data = home + "/.local/share";
  const std::string config = home + "/.config";
  for (const std::string& f :
       {data + "/applications/wine/Programs/App/App.desktop",
        data + "/applications/wine-extension-app.desktop", data + "/mime/packages/x-wine-ext.xml",
        data + "/mime/packages/mine.xml", data + "/icons/hicolor/32x32/apps/1A2B_app.0.png",
        data + "/desktop-directories/wine-Programs-App.directory",
        config + "/menus/applications-merged/wine-Programs-App-App.menu",
        config + "/autostart/wine-app.desktop", home + "/App.desktop", home + "/App.lnk"})
    Write(f);
  Find(Entry("Evil", "C:\\Games\\Real"));
  const PlaceGuard guard(scope);
  using K = LeftoverKind;
  const struct {
    std::string path;
    LeftoverKind kind;
    bool offered;
  } cases[] = {
      {data + "/applications/wine/Programs/App/App.desktop", K::DesktopFile, true},
      {data + "/applications/wine/Programs/App", K::Folder, true},
      {data + "/applications/wine/Programs", K::Folder, false},
      {data + "/applications/wine", K::Folder, false},
      {data + "/applications", K::Folder, false},
      {data + "/applications/mine.desktop", K::DesktopFile, false},
      {data + "/applications/wine-extension-app.desktop", K::DesktopFile, true},
      {data + "/mime/packages/x-wine-ext.xml", K::MenuFile, true},
      {data + "/mime/packages/mine.xml", K::MenuFile, false},
      {data + "/icons/hicolor/32x32/apps/1A2B_app.0.png", K::Icon, true},
      {data + "/icons/hicolor/32x32/apps", K::Folder, false},
      {data + "/desktop-directories/wine-Programs-App.directory", K::MenuFile, true},
      {config + "/menus/applications-merged/wine-Programs-App-App.menu", K::MenuFile, true},
      {config + "/autostart/wine-app.desktop", K::DesktopFile, false},
      {config + "/autostart", K::Folder, false},
      {config, K::Folder, false},
      {data, K::Folder, false},
      {home + "/.local", K::Folder, false},
      {home + "/App.desktop", K::DesktopFile, false},  // the desktop is the home here
      {home + "/App.lnk", K::File, false},
      {home + "/.ssh", K::Folder, false},
      {home, K::Folder, false},
      {prefix + "/dosdevices/c:", K::Folder, false},
      {prefix + "/dosdevices", K::Folder, false},
      {prefix + "/system.reg", K::File, false},
      {prefix, K::Folder, false},
      {prefix + "/drive_c", K::Folder, false},
      {prefix + "/drive_c/users/u/Documents", K::Folder, false},
      {prefix + "/drive_c/windows/system32/x.dll", K::File, false},
      {prefix + "/drive_c/Games/Real", K::Folder, true},
      {"/", K::Folder, false},
  };
  Write(prefix + "/system.reg");
  for (const auto& c : cases)
    EXPECT_EQ(!guard.Judge(HostPlace(c.path), c.kind), c.offered) << c.path;
  // With a Desktop folder of its own, the desktop's entries and shortcuts count.
  Write(home + "/Desktop/App.desktop");
  Write(home + "/Desktop/App.lnk");
  scope.xdg = UserXdgFolders();
  const PlaceGuard withDesktop(scope);
  EXPECT_FALSE(withDesktop.Judge(home + "/Desktop/App.desktop", K::DesktopFile));
  EXPECT_FALSE(withDesktop.Judge(home + "/Desktop/App.lnk", K::File));
  EXPECT_TRUE(withDesktop.Judge(home + "/Desktop", K::Folder));
}

// Programs named like Wine's structure, a file type Wine ships and one another program uses:
// none of those keys is offered, only the program's own command values.
TEST_F(AttackTest, WinesKeysAndSharedFileTypesAreNotTheProgramsOwn) {
  const std::string command = "@=\"\\\"C:\\\\Games\\\\Real\\\\real.exe\\\" \\\"%1\\\"\"\n";
  const std::string classes = "\n[Software\\\\Classes\\\\";
  const std::string machine =
      Entry("Wow6432Node", "C:\\Games\\Real", "Classes") + classes +
      "txtfile\\\\shell\\\\open\\\\command] 1\n" + command + classes + ".txt] 1\n@=\"txtfile\"\n" +
      classes + "Shared.Doc\\\\shell\\\\open\\\\command] 1\n" + command + classes +
      "Shared.Doc\\\\shell\\\\print\\\\command] 1\n@=\"C:\\\\Other\\\\other.exe\"\n" + classes +
      ".shd] 1\n@=\"Shared.Doc\"\n" + classes + "Real.Doc\\\\shell\\\\open\\\\command] 1\n" +
      command + classes + ".real] 1\n@=\"Real.Doc\"\n" +
      "\n[Software\\\\Wow6432Node\\\\Other] 1\n\"v\"=\"1\"\n" +
      "\n[Software\\\\Classes\\\\Other] 1\n\"v\"=\"1\"\n";
  const std::string user =
      "\n[Software\\\\Wow6432Node] 1\n\"v\"=\"1\"\n"
      "\n[Software\\\\Classes\\\\x] 1\n\"v\"=\"1\"\n"
      "\n[Software\\\\Wine\\\\Wow6432Node] 1\n\"v\"=\"1\"\n";
  const auto items = Find(machine, user);
  EXPECT_EQ(Texts(items),
            (std::set<std::string>{
                "sure folder C:/Games/Real",
                "sure folder C:/Games",
                "sure registry_value HKLM\\Software\\Classes\\txtfile\\shell\\open\\command: "
                "(default)",
                "sure registry_value HKLM\\Software\\Classes\\Shared.Doc\\shell\\open\\command: "
                "(default)",
                "sure registry_key HKLM\\Software\\Classes\\Real.Doc",
                "sure registry_key HKLM\\Software\\Classes\\.real",
            }));
  for (const char* key :
       {"Software", "Software\\Wow6432Node", "Software\\Classes",
        "Software\\Wow6432Node\\Microsoft", "Software\\Classes\\txtfile", "Software\\Classes\\.ini",
        "Software\\Microsoft\\Windows", "Software\\Wine", "SOFTWARE\\REGISTEREDAPPLICATIONS"})
    EXPECT_TRUE(IsStockKey(kHkeyLocalMachine, key)) << key;
  for (const char* key : {"Software\\Real", "Software\\Classes\\Real.Doc", "Software\\Tervask"})
    EXPECT_FALSE(IsStockKey(kHkeyLocalMachine, key)) << key;
}

// Between finding and removing: a folder on the way turned into a link, the item swapped for
// another file, or left alone; only the last is moved, and nothing outside is touched.
TEST_F(AttackTest, RemovalMovesOnlyWhatWasFoundWhereItWasFound) {
  const std::string outside = dir / "outside";
  Write(outside + "/Real/precious.txt");
  const struct {
    const char* what;
    std::function<void(const std::string& games)> meanwhile;
    bool moved;
  } cases[] = {
      {"untouched", [](const std::string&) {}, true},
      {"a folder on the way became a link",
       [&](const std::string& games) {
         fs::rename(games, games + ".old");
         fs::create_directory_symlink(outside, games);
       },
       false},
      {"the item was replaced",
       [&](const std::string& games) {
         fs::rename(games + "/Real", games + "/Real.old");
         Write(games + "/Real/new.exe");
       },
       false},
  };
  for (const auto& c : cases) {
    const std::string games = prefix + "/drive_c/Games";
    fs::remove_all(games);
    fs::remove_all(games + ".old");
    Write(games + "/Real/real.exe");
    std::vector<Leftover> items;
    for (const auto& item : Find(Entry("Evil", "C:\\Games\\Real")))
      if (item.path.ends_with("/Real")) items.push_back(item);
    ASSERT_EQ(items.size(), 1u) << c.what;
    c.meanwhile(games);
    const auto failures = RemoveLeftovers(scope, items, dir / "export.reg", Language::English);
    EXPECT_EQ(failures.empty(), c.moved) << c.what;
    EXPECT_TRUE(fs::exists(outside + "/Real/precious.txt")) << c.what;
    EXPECT_EQ(fs::exists(games + "/Real"), !c.moved) << c.what;
  }
}

// Registry items whose names no registry script can hold are kept and named; the others go and
// come back from their export exactly, hostile names and all.
TEST_F(AttackTest, RegistryItemsGoOnlyWhereTheExportGivesThemBack) {
  const std::string run = R"(Software\\Microsoft\\Windows\\CurrentVersion\\Run)";
  const std::string user =
      "\n[Software\\\\Evil Corp\\\\Evil] 1\n\"q\\\"uote\\\\back\"=\"a\\tb\\nc\"\n"
      "\"ünï\"=hex(7):41,00,00,00,00,00\n"
      "\n[Software\\\\Evil Corp\\\\Evil\\\\sub\\nkey] 1\n\"v\"=\"1\"\n"
      "\n[" +
      run +
      "] 1\n\"Evil\\nRun\"=\"C:\\\\Games\\\\Real\\\\real.exe\"\n"
      "\"Evil [x]\"=\"C:\\\\Games\\\\Real\\\\real.exe /tray\"\n"
      "\n[Software\\\\Evil Corp\\\\Plain] 1\n\"v\"=dword:00000001\n";
  auto items = Find(Entry("Evil", "C:\\Games\\Real"), user);
  std::vector<Leftover> registryItems;
  for (const auto& item : items)
    if (item.IsRegistry()) registryItems.push_back(item);
  ASSERT_EQ(Texts(registryItems),
            (std::set<std::string>{
                "sure registry_value HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: "
                "Evil\nRun",
                "sure registry_value HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: "
                "Evil [x]",
                "likely registry_key HKCU\\Software\\Evil Corp\\Evil",
            }));
  const auto failures =
      RemoveLeftovers(scope, registryItems, dir / "export.reg", Language::English);
  std::set<std::string> kept;
  for (const auto& f : failures) kept.insert(f.item + ": " + f.reason.substr(0, 26));
  EXPECT_EQ(kept, (std::set<std::string>{
                      "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: Evil\nRun: a "
                      "name in it has a line br",
                      "HKCU\\Software\\Evil Corp\\Evil: a name in it has a line br",
                  }));
  EXPECT_TRUE(RegKeyExists(*registry, kHkeyCurrentUser, "Software\\Evil Corp\\Evil"));
  const std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  EXPECT_TRUE(RegValueExists(*registry, kHkeyCurrentUser, runKey, "Evil\nRun"));
  EXPECT_FALSE(RegValueExists(*registry, kHkeyCurrentUser, runKey, "Evil [x]"));
  // Without the name it cannot hold, the key goes, and its export brings every value back.
  ASSERT_TRUE(RegRemoveKey(*registry, kHkeyCurrentUser, "Software\\Evil Corp\\Evil\\sub\nkey"));
  std::vector<Leftover> key;
  for (const auto& item : registryItems)
    if (item.kind == LeftoverKind::RegistryKey) key.push_back(item);
  ASSERT_TRUE(RemoveLeftovers(scope, key, dir / "export2.reg", Language::English).empty());
  EXPECT_FALSE(RegKeyExists(*registry, kHkeyCurrentUser, "Software\\Evil Corp\\Evil"));
  for (const char* file : {"export.reg", "export2.reg"}) {
    RestorePlan plan;
    std::string error;
    ASSERT_TRUE(PlanRestore(*registry, test::ReadFile(dir / file), 1252, plan, error, true))
        << error;
    ASSERT_TRUE(ApplyRestore(*registry, plan, Language::English, error)) << error;
  }
  const RegKey* back = FindRegKey(registry->Hive(kHkeyCurrentUser), "Software\\Evil Corp\\Evil");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->FindValue(u"q\"uote\\back")->Text(), u"a\tb\nc");
  EXPECT_EQ(back->FindValue(u"ünï")->type, kRegMultiSz);
  EXPECT_TRUE(RegValueExists(*registry, kHkeyCurrentUser, runKey, "Evil [x]"));
}

// A prefix is gone only where the place it was on is still there: never on media or a disk that
// is not mounted now.
TEST_F(AttackTest, APrefixOnAnAbsentDiskIsNotGone) {
  const std::string there = dir.Path();
  const std::string fstab = "# comment\n/dev/sdb1 " + there + "/disk ext4 defaults 0 2\n" +
                            "UUID=1 /data ext4 defaults 0 2\n/dev/sdc1 " + there +
                            "/with\\040blank ext4 defaults 0 2\n";
  const std::string mounted = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n";
  const std::string withDisk = mounted + "23 22 8:17 / " + there + "/disk rw - ext4 /dev/sdb1 rw\n";
  const struct {
    std::string prefix, mountinfo;
    bool gone;
  } cases[] = {
      {there + "/deleted", mounted, true},
      {there + "/a/b/deleted", mounted, true},
      {there + "/disk/pfx", mounted, false},
      {there + "/disk/pfx", withDisk, true},
      {there + "/with blank/pfx", mounted, false},
      {"/media/u/usb/pfx", mounted, false},
      {"/run/media/u/usb/pfx", mounted, false},
      {"/mnt/games/pfx", mounted, false},
      {"/data/pfx", mounted, false},
      {"/no-such-top-folder/games/pfx", mounted, false},
      {there + "/x/../deleted", mounted, false},
      {"relative/pfx", mounted, false},
      {prefix, mounted, false},  // still there
  };
  for (const auto& c : cases)
    EXPECT_EQ(PrefixIsGone(c.prefix, fstab, c.mountinfo), c.gone) << c.prefix;
}

// Of a deleted prefix's menu only what Wine made goes: not another tool's entry, not a folder
// holding a file of the user's, not an icon an entry that stays still names.
TEST_F(AttackTest, MenuEntriesOfDeletedPrefixesAreOnlyWines) {
  test::MakeDirs(home + "/Desktop");
  const std::string data = home + "/.local/share";
  const std::string apps = data + "/applications";
  const std::string gone = dir / "deleted";
  const auto entry = [&](const std::string& file, const std::string& exec,
                         const std::string& icon) {
    Write(file);
    test::WriteFile(file, "[Desktop Entry]\nExec=" + exec + "\nIcon=" + icon + "\n");
  };
  const std::string wine = "env WINEPREFIX=\"" + gone + R"(" wine C:\\a.lnk)";
  entry(apps + "/wine/Programs/Kept/G.desktop", wine, "AB12_g.0");
  Write(apps + "/wine/Programs/Kept/notes.txt");
  entry(apps + "/wine/Programs/Gone/H.desktop", wine, "CD34_h.0");
  entry(apps + "/wine/Programs/Gone/Sub/I.desktop", wine, "CD34_h.0");
  entry(apps + "/tricks.desktop", "env WINEPREFIX=\"" + gone + "\" winetricks", "EF56_t.0");
  entry(apps + "/mine.desktop", "gimp", "AB12_g.0");
  entry(apps + "/wine/Programs/Usb.desktop", "env WINEPREFIX=\"/media/u/usb/pfx\" wine x.lnk",
        "EF56_t.0");
  for (const char* icon : {"AB12_g.0", "CD34_h.0", "EF56_t.0"})
    Write(data + "/icons/hicolor/32x32/apps/" + std::string(icon) + ".png");
  std::vector<std::string> prefixes;
  std::set<std::string> found;
  for (const auto& item : OrphanedDesktopEntries(UserXdgFolders(), prefixes))
    found.insert(KindName(item.kind) + " " + item.path.substr(home.size()));
  EXPECT_EQ(prefixes, std::vector<std::string>{gone});
  EXPECT_EQ(found, (std::set<std::string>{
                       "desktop_file /.local/share/applications/wine/Programs/Kept/G.desktop",
                       "desktop_file /.local/share/applications/wine/Programs/Gone/H.desktop",
                       "desktop_file /.local/share/applications/wine/Programs/Gone/Sub/I.desktop",
                       "folder /.local/share/applications/wine/Programs/Gone",
                       "folder /.local/share/applications/wine/Programs/Gone/Sub",
                       "icon /.local/share/icons/hicolor/32x32/apps/CD34_h.0.png",
                   }));
}

}  // namespace
}  // namespace pgl
