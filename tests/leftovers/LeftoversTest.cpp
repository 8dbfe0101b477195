// Finding leftovers without false alarms: shortcuts read from their bytes, Wine's .desktop files
// matched by the prefix they name, the trash that keeps a way back, and a prefix in which only
// one program's things are offered while its neighbours' stay.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "../TestSupport.h"
#include "inventory/Restore.h"
#include "inventory/UCollection.h"
#include "leftovers/DesktopEntries.h"
#include "leftovers/Leftovers.h"
#include "leftovers/ShellLink.h"
#include "platform/Trash.h"
#include "platform/wine/WinePlatform.h"
#include "registry/QV_Registry.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {
namespace {

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  if (s.size() < at + 4) s.resize(at + 4, '\0');
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A shortcut with an ANSI local path in its link information (as Wine writes it) and a working
// folder as a Unicode text.
std::string LinkBytes(const std::string& target, const std::string& workDir = "") {
  std::string b(0x4C, '\0');
  Put32(b, 0, 0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  for (int i = 0; i < 16; ++i) b[4 + i] = static_cast<char>(clsid[i]);
  std::uint32_t flags = 0x80;  // texts in Unicode
  if (!target.empty()) flags |= 0x2;
  if (!workDir.empty()) flags |= 0x10;
  Put32(b, 0x14, flags);
  if (!target.empty()) {
    std::string info(0x1C, '\0');
    Put32(info, 4, 0x1C);     // header size
    Put32(info, 8, 1);        // a volume and a local path
    Put32(info, 0x0C, 0x1C);  // volume (empty, not read)
    Put32(info, 0x10, 0x1C);  // the local path
    info += target + '\0';
    Put32(info, 0x18, static_cast<std::uint32_t>(info.size()));  // the suffix: empty
    info += '\0';
    Put32(info, 0, static_cast<std::uint32_t>(info.size()));
    b += info;
  }
  if (!workDir.empty()) {
    const std::u16string units = Utf8ToUtf16(workDir);
    b += static_cast<char>(units.size() & 0xFF);
    b += static_cast<char>(units.size() >> 8);
    b += Utf16LeBytes(units);
  }
  return b;
}

TEST(ShellLink, TargetsReadFromTheBytes) {
  const std::string good = LinkBytes("C:\\Program Files\\A\\a.exe", "C:\\Program Files\\A");
  std::string pastTheEnd = good;
  Put32(pastTheEnd, 0x4C + 0x10, 0x7FFFFFF0);  // the path's offset far past the end
  const struct {
    const char* what;
    std::string bytes;
    bool isLink;
    std::string target, workDir;
  } cases[] = {
      {"link information and a Unicode folder", good, true, "C:\\Program Files\\A\\a.exe",
       "C:\\Program Files\\A"},
      {"a folder only", LinkBytes("", "C:\\Games\\B"), true, "", "C:\\Games\\B"},
      {"an offset past the end", pastTheEnd, true, "", "C:\\Program Files\\A"},
      {"cut inside its texts", good.substr(0, good.size() - 5), true, "C:\\Program Files\\A\\a.exe",
       ""},
      {"cut inside its header", good.substr(0, 50), false, "", ""},
      {"another class",
       [&] {
         std::string other = good;
         other[5] = 0x15;
         return other;
       }(),
       false, "", ""},
  };
  for (const auto& c : cases) {
    const auto link = ReadShellLink(c.bytes, 1252);
    ASSERT_EQ(link.has_value(), c.isLink) << c.what;
    if (!link) continue;
    EXPECT_EQ(link->target, c.target) << c.what;
    EXPECT_EQ(link->workingDir, c.workDir) << c.what;
  }
}

TEST(DesktopEntries, WhatWinesEntriesStart) {
  const struct {
    std::string exec;
    bool wine;
    std::string prefix, winePath, progId;
  } cases[] = {
      {R"(env WINEPREFIX="/h/pfx" wine-stable C:\\\\Program\\ Files\\\\A\\\\a.exe )", true,
       "/h/pfx", "C:\\Program Files\\A\\a.exe", ""},
      {R"(env WINEPREFIX="/h/p x" wine C:\\\\users\\\\u\\\\A\\ B.lnk)", true, "/h/p x",
       "C:\\users\\u\\A B.lnk", ""},
      {"env WINEPREFIX=\"/h/pfx\" /opt/wine/bin/wine start /ProgIDOpen App.Doc %f", true, "/h/pfx",
       "", "App.Doc"},
      {R"(wine C:\\\\a.lnk)", true, "", "C:\\a.lnk", ""},
      {"firefox %u", false, "", "", ""},
      {"env WINEPREFIX=\"/h/pfx\"", false, "", "", ""},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    test::WriteFile(dir / "e.desktop", "[Desktop Entry]\nName=x\nExec=" + c.exec +
                                           "\nIcon=1A2B_a.0\n[Other]\nExec=x\n");
    const auto entry = ReadDesktopEntry(dir / "e.desktop");
    ASSERT_EQ(entry.has_value(), c.wine) << c.exec;
    if (!entry) continue;
    EXPECT_EQ(entry->prefix, c.prefix) << c.exec;
    EXPECT_EQ(entry->winePath, c.winePath) << c.exec;
    EXPECT_EQ(entry->progId, c.progId) << c.exec;
    EXPECT_EQ(entry->icon, "1A2B_a.0");
  }
}

// The newest record of a program is the one used, whatever the numbers in the names; the
// records of the last 100 runs are kept.
TEST(Evidence, TheNewestRecordIsUsedAndOldOnesGo) {
  test::TempDir dir;
  const auto record = [&](const std::string& name, const std::string& folder) {
    Evidence ev;
    ev.prefix = dir.Path();
    ev.entryKey = "HKLM\\X\\App";
    ev.installFolder = folder;
    test::WriteFile(dir / name, EvidenceToJson({ev}));
  };
  record("evidence-20261208-103006-10.json", "/older");
  record("evidence-20261208-110000-0.json", "/newer");
  record("evidence-20261207-235959-99.json", "/oldest");
  const auto latest = LatestEvidence(dir.Path(), dir.Path(), "hklm\\x\\app");
  ASSERT_TRUE(latest.has_value());
  EXPECT_EQ(latest->installFolder, "/newer");
  EXPECT_FALSE(LatestEvidence(dir.Path(), dir / "other", "HKLM\\X\\App"));
  for (int i = 0; i < 105; ++i)
    record("evidence-20200101-000000-" + std::to_string(i) + ".json", "/x");
  std::string error;
  ASSERT_TRUE(SaveEvidence(dir.Path(), {}, error)) << error;
  std::size_t kept = 0;
  for (const auto& f : fs::directory_iterator(dir.Path()))
    kept += f.path().filename().string().starts_with("evidence-");
  EXPECT_EQ(kept, 100u);
  EXPECT_EQ(LatestEvidence(dir.Path(), dir.Path(), "HKLM\\X\\App")->installFolder, "/newer");
}

// A prefix scanned as the window scans it, and the scope its leftovers are looked for in.
struct ScannedPrefix {
  ScannedPrefix(const std::string& prefix, MemoryRegistry& registry)
      : platform(prefix, registry), collection(registry, platform) {
    collection.SystemComponentsVisible = true;
    collection.ScanSorted();
    scope.registry = &registry;
    scope.platform = &platform;
    scope.prefixDir = prefix;
    scope.xdg = UserXdgFolders();
    for (int i = 0; i < collection.Count(); ++i)
      scope.listed.push_back(collection.GetItem(i).UninstallInfo);
  }
  // The listed program of that name, or null.
  const TUninstallInfo* Named(const std::string& name) const {
    for (const TUninstallInfo& info : scope.listed)
      if (info.DisplayName.str() == name) return &info;
    return nullptr;
  }
  // "confidence kind item" of each item, with the prefix's drive as "C:" and the home as "~".
  std::vector<std::string> Lines(const std::vector<Leftover>& items,
                                 const std::string& home = "") const {
    std::vector<std::string> lines;
    const std::string drive = fs::canonical(scope.prefixDir + "/drive_c").string();
    for (const auto& item : items) {
      std::string text = item.Text();
      if (text.rfind(drive, 0) == 0) text = "C:" + text.substr(drive.size());
      if (!home.empty() && text.rfind(home, 0) == 0) text = "~" + text.substr(home.size());
      lines.push_back(ConfidenceName(item.confidence) + " " + KindName(item.kind) + " " + text);
    }
    return lines;
  }
  WinePlatform platform;
  TUninstallCollection collection;
  LeftoverScope scope;
};

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = dir / "home";
    test::MakeDirs(home + "/Desktop");
    const char* old = std::getenv("HOME");
    oldHome = old ? old : "";
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
  }
  void TearDown() override { ::setenv("HOME", oldHome.c_str(), 1); }
  test::TempDir dir;
  std::string home, oldHome;
};

// Files go to the trash with the information the file manager puts them back by; a trash that
// is not a folder of ours is not used, and the file stays where it was.
TEST_F(HomeTest, TheTrashKeepsAWayBack) {
  const std::string file = home + "/Zażółć a%b.txt";
  for (int i = 0; i < 2; ++i) {
    test::WriteFile(file, "x");
    std::string error;
    ASSERT_TRUE(MoveToTrash(file, error)) << error;
    EXPECT_FALSE(fs::exists(file));
  }
  const std::string trash = home + "/.local/share/Trash";
  EXPECT_TRUE(fs::exists(trash + "/files/Zażółć a%b.txt"));
  EXPECT_TRUE(fs::exists(trash + "/files/Zażółć a%b.txt.2"));
  const std::string info = test::ReadFile(trash + "/info/Zażółć a%b.txt.2.trashinfo");
  EXPECT_EQ(info.find("[Trash Info]\nPath=" + home +
                      "/Za%C5%BC%C3%B3%C5%82%C4%87%20a%25b.txt\n"
                      "DeletionDate="),
            0u)
      << info;
  // A trash that is a file, or a link to somewhere else: refused, the file kept.
  for (const bool link : {false, true}) {
    fs::remove_all(trash);
    if (link)
      fs::create_directory_symlink(dir.Path(), trash);
    else
      test::WriteFile(trash, "not a folder");
    test::WriteFile(file, "kept");
    std::string error;
    EXPECT_FALSE(MoveToTrash(file, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadFile(file), "kept");
    fs::remove(trash);
  }
}

// The menu entries of a prefix that was deleted go, with their menu, icon and file type; those
// of a prefix that is still there, and one without a prefix, stay.
TEST_F(HomeTest, TheDesktopEntriesOfAPrefixThatIsGone) {
  const std::string data = home + "/.local/share";
  const std::string live = dir / "live";
  test::MakeDirs(live);
  const auto entry = [&](const std::string& file, const std::string& prefix, const std::string& run,
                         const std::string& icon) {
    test::MakeDirs(fs::path(file).parent_path().string());
    test::WriteFile(file, "[Desktop Entry]\nExec=env WINEPREFIX=\"" + prefix + "\" wine " + run +
                              "\nIcon=" + icon + "\n");
  };
  const std::string apps = data + "/applications";
  entry(apps + "/wine/Programs/Gone/G.desktop", dir / "deleted", R"(C:\\g.lnk)", "AB12_g.0");
  entry(apps + "/wine/Programs/Live.desktop", live, R"(C:\\l.lnk)", "CD34_l.0");
  entry(apps + "/wine-extension-xyz.desktop", dir / "deleted", "start /ProgIDOpen X.Doc %f", "");
  entry(home + "/Desktop/G.desktop", dir / "deleted", R"(C:\\g.exe)", "AB12_g.0");
  test::WriteFile(home + "/Desktop/Notes.desktop", "[Desktop Entry]\nExec=gedit\n");
  for (const std::string& f :
       {data + "/icons/hicolor/32x32/apps/AB12_g.0.png",
        data + "/icons/hicolor/48x48/apps/AB12_g.0.png",
        data + "/icons/hicolor/32x32/apps/CD34_l.0.png",
        data + "/mime/packages/x-wine-extension-xyz.xml",
        data + "/desktop-directories/wine-Programs-Gone.directory",
        data + "/desktop-directories/wine-Programs.directory",
        home + "/.config/menus/applications-merged/wine-Programs-Gone-G.menu",
        home + "/.config/menus/applications-merged/wine-Programs-Live.menu"}) {
    test::MakeDirs(fs::path(f).parent_path().string());
    test::WriteFile(f, "x");
  }
  std::vector<std::string> gone;
  const XdgFolders xdg = UserXdgFolders();
  const auto items = OrphanedDesktopEntries(xdg, gone);
  EXPECT_EQ(gone, std::vector<std::string>{dir / "deleted"});
  std::set<std::string> found;
  for (const auto& item : items)
    found.insert(KindName(item.kind) + " " + item.path.substr(home.size()));
  EXPECT_EQ(found, (std::set<std::string>{
                       "desktop_file /.local/share/applications/wine/Programs/Gone/G.desktop",
                       "desktop_file /.local/share/applications/wine-extension-xyz.desktop",
                       "desktop_file /Desktop/G.desktop",
                       "menu_file /.config/menus/applications-merged/wine-Programs-Gone-G.menu",
                       "menu_file /.local/share/desktop-directories/wine-Programs-Gone.directory",
                       "folder /.local/share/applications/wine/Programs/Gone",
                       "menu_file /.local/share/mime/packages/x-wine-extension-xyz.xml",
                       "icon /.local/share/icons/hicolor/32x32/apps/AB12_g.0.png",
                       "icon /.local/share/icons/hicolor/48x48/apps/AB12_g.0.png",
                   }));
}

// One program's leftovers in a prefix shared with one of the same publisher whose folder starts
// alike and one called "Update"; hostile shortcuts and menu entries around them.
TEST_F(HomeTest, OnlyTheProgramsOwnThingsAreOfferedAndNothingOutside) {
  const std::string prefix = dir / "pfx";
  test::MakePrefixDirs(prefix);
  const std::string roaming = "C:\\users\\u\\AppData\\Roaming";
  const std::string programs = roaming + "\\Microsoft\\Windows\\Start Menu\\Programs";
  const auto file = [&](const std::string& windows, const std::string& bytes = "x") {
    test::MakeWindowsFile(prefix, windows, bytes);
  };
  file("C:\\Program Files\\Pub\\App\\app.exe");
  fs::create_directory_symlink("/", prefix + "/drive_c/Program Files/Pub/App/root");
  file("C:\\Program Files\\Pub\\App Pro\\pro.exe");
  file("C:\\Program Files\\Upd\\Update\\update.exe");
  file(roaming + "\\Pub\\App\\settings.ini");
  file(roaming + "\\Pub\\App Pro\\settings.ini");
  file(roaming + "\\Update\\state.ini");
  file(programs + "\\App\\App.lnk", LinkBytes("C:\\Program Files\\Pub\\App\\app.exe"));
  file(programs + "\\App Pro.lnk", LinkBytes("C:\\Program Files\\Pub\\App Pro\\pro.exe"));
  file(programs + "\\Evil.lnk", LinkBytes("Z:\\etc\\passwd"));
  const std::string apps = home + "/.local/share/applications/wine/Programs/App";
  const auto desktop = [&](const std::string& name, const std::string& prefixDir) {
    test::MakeDirs(apps);
    test::WriteFile(apps + "/" + name + ".desktop",
                    "[Desktop Entry]\nExec=env WINEPREFIX=\"" + prefixDir +
                        R"(" wine C:\\\\users\\\\u\\\\AppData\\\\Roaming\\\\)"
                        R"(Microsoft\\\\Windows\\\\Start\\ Menu\\\\Programs\\\\App)"
                        R"(\\\\App.lnk)"
                        "\n");
  };
  desktop("App", prefix);
  desktop("Another prefix", dir / "other");
  MemoryRegistry registry;
  const std::string u = R"(Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\)";
  ASSERT_TRUE(registry.LoadWineText(
      kHkeyLocalMachine,
      "\n[" + u +
          "App] 1\n\"DisplayName\"=\"App\"\n\"Publisher\"=\"Pub\"\n"
          "\"InstallLocation\"=\"C:\\\\Program Files\\\\Pub\\\\App\"\n"
          "\n[" +
          u +
          "AppPro] 1\n\"DisplayName\"=\"App Pro\"\n\"Publisher\"=\"Pub\"\n"
          "\"InstallLocation\"=\"C:\\\\Program Files\\\\Pub\\\\App Pro\"\n"
          "\n[" +
          u +
          "Update] 1\n\"DisplayName\"=\"Update\"\n\"Publisher\"=\"Upd\"\n"
          "\"InstallLocation\"=\"C:\\\\Program Files\\\\Upd\\\\Update\"\n"
          "\n[Software\\\\Classes\\\\App.Doc\\\\shell\\\\open\\\\command] 1\n"
          "@=\"\\\"C:\\\\Program Files\\\\Pub\\\\App\\\\app.exe\\\" \\\"%1\\\"\"\n"
          "\n[Software\\\\Classes\\\\.appdoc] 1\n@=\"App.Doc\"\n"
          "\n[Software\\\\Classes\\\\.txt] 1\n@=\"App.Doc\"\n\"Content Type\"=\"text/plain\"\n"));
  ASSERT_TRUE(registry.LoadWineText(
      kHkeyCurrentUser,
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders] 1\n"
      "\"AppData\"=\"C:\\\\users\\\\u\\\\AppData\\\\Roaming\"\n"
      R"("Programs"="C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start )"
      "Menu\\\\Programs\"\n"
      "\n[Software\\\\Pub\\\\App] 1\n\"v\"=\"1\"\n\n[Software\\\\Pub\\\\App Pro] 1\n\"v\"=\"1\"\n"
      "\n[Software\\\\Update] 1\n\"v\"=\"1\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n"
      "\"App\"=\"\\\"C:\\\\Program Files\\\\Pub\\\\App\\\\app.exe\\\" /tray\"\n"
      "\"Other\"=\"C:\\\\Program Files\\\\Pub\\\\App Pro\\\\pro.exe\"\n"));
  ScannedPrefix scanned(prefix, registry);
  const LeftoverScope& scope = scanned.scope;
  const TUninstallInfo* app = scanned.Named("App");
  ASSERT_NE(app, nullptr);
  const auto items = FindLeftovers(scope, CollectEvidence(scope, *app));
  const std::vector<std::string> found = scanned.Lines(items, home);
  const std::string start = "C:/users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";
  EXPECT_EQ(found,
            (std::vector<std::string>{
                "sure folder C:/Program Files/Pub/App",
                "sure file " + start + "/App/App.lnk",
                "sure folder " + start + "/App",
                "sure registry_value HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run: App",
                "sure registry_key HKLM\\Software\\Classes\\App.Doc",
                "sure registry_key HKLM\\Software\\Classes\\.appdoc",
                "sure registry_value HKLM\\Software\\Classes\\.txt: (default)",
                "sure desktop_file ~/.local/share/applications/wine/Programs/App/App.desktop",
                "sure folder C:/users/u/AppData/Roaming/Pub/App",
                "sure registry_key HKCU\\Software\\Pub\\App",
            }));
  // The install folder's link to / counts nothing of what it leads to.
  EXPECT_LT(items.front().size, 1000u);

  const auto failures = RemoveLeftovers(scope, items, dir / "export.reg", Language::English);
  EXPECT_TRUE(failures.empty()) << failures.front().item << ": " << failures.front().reason;
  EXPECT_TRUE(fs::exists("/etc"));
  for (const char* kept :
       {"Program Files/Pub/App Pro/pro.exe", "Program Files/Upd/Update/update.exe",
        "users/u/AppData/Roaming/Pub/App Pro/settings.ini",
        "users/u/AppData/Roaming/Update/state.ini",
        "users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/App Pro.lnk",
        "users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Evil.lnk"})
    EXPECT_TRUE(fs::exists(prefix + "/drive_c/" + kept)) << kept;
  EXPECT_TRUE(fs::exists(apps + "/Another prefix.desktop"));
  EXPECT_FALSE(fs::exists(prefix + "/drive_c/Program Files/Pub/App"));
  EXPECT_TRUE(RegKeyExists(registry, kHkeyCurrentUser, "Software\\Pub\\App Pro"));
  EXPECT_FALSE(RegKeyExists(registry, kHkeyCurrentUser, "Software\\Pub\\App"));
  EXPECT_TRUE(RegValueExists(registry, kHkeyCurrentUser,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Other"));
  EXPECT_FALSE(RegValueExists(registry, kHkeyCurrentUser,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "App"));
  EXPECT_TRUE(
      RegValueExists(registry, kHkeyLocalMachine, "Software\\Classes\\.txt", "Content Type"));
  const std::string exported = test::ReadFile(dir / "export.reg");
  EXPECT_NE(exported.find("[HKEY_CURRENT_USER\\Software\\Pub\\App]"), std::string::npos);
  // Our own export, unchanged, restores every key it holds; changed by one byte, it is any
  // script, and only programs' keys would come from it.
  ASSERT_TRUE(IsOurLeftoversExport(dir.Path(), exported));
  EXPECT_FALSE(IsOurLeftoversExport(dir.Path(), exported + "\r\n"));
  RestorePlan plan;
  std::string error;
  ASSERT_TRUE(PlanRestore(registry, exported, 1252, plan, error, true)) << error;
  EXPECT_FALSE(plan.AnyRefused());
  ASSERT_TRUE(ApplyRestore(registry, plan, Language::English, error)) << error;
  EXPECT_TRUE(RegKeyExists(registry, kHkeyCurrentUser, "Software\\Pub\\App"));
  EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, "Software\\Classes\\App.Doc"));
  EXPECT_TRUE(RegValueExists(registry, kHkeyCurrentUser,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "App"));
  ASSERT_TRUE(PlanRestore(registry, exported, 1252, plan, error, false));
  EXPECT_EQ(plan.Count(RestoreKind::Refused), plan.items.size());
}

// Settings named after the program but not under its install folder's names: the folder and
// key of its publisher and product are likely, those of its publisher alone or its product
// alone uncertain; a publisher another listed program shares is never offered whole.
TEST_F(HomeTest, NamesAloneGiveLikelyAndUncertainItems) {
  const struct {
    const char* what;
    bool gizmoListed;  // another program of the same publisher
    std::vector<std::string> found;
  } cases[] = {
      {"the only program of its publisher",
       false,
       {"sure folder C:/Apps/Widget", "sure folder C:/Apps",  // it held only the install folder
        "likely folder C:/users/u/AppData/Roaming/Acme/Widget",
        "uncertain folder C:/users/u/AppData/Roaming/Acme",
        "uncertain folder C:/users/u/AppData/Local/Widget",
        "likely registry_key HKCU\\Software\\Acme\\Widget",
        "uncertain registry_key HKCU\\Software\\Acme",
        "uncertain registry_key HKCU\\Software\\Widget"}},
      {"a publisher another program shares",
       true,
       {"sure folder C:/Apps/Widget", "sure folder C:/Apps",  // it held only the install folder
        "likely folder C:/users/u/AppData/Roaming/Acme/Widget",
        "uncertain folder C:/users/u/AppData/Local/Widget",
        "likely registry_key HKCU\\Software\\Acme\\Widget",
        "uncertain registry_key HKCU\\Software\\Widget"}},
  };
  for (const auto& c : cases) {
    const std::string prefix = dir / (c.gizmoListed ? "two" : "one");
    test::MakePrefixDirs(prefix);
    for (const char* file :
         {R"(C:\Apps\Widget\widget.exe)", R"(C:\users\u\AppData\Roaming\Acme\Widget\a.ini)",
          R"(C:\users\u\AppData\Roaming\Acme2\Widget\a.ini)",
          R"(C:\users\u\AppData\Roaming\Update\a.ini)", R"(C:\users\u\AppData\Local\Widget\b.ini)"})
      test::MakeWindowsFile(prefix, file, "x");
    MemoryRegistry registry;
    const std::string u = R"(Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\)";
    std::string machine = "\n[" + u + R"(Widget] 1
"DisplayName"="Widget"
"Publisher"="Acme"
"InstallLocation"="C:\\Apps\\Widget"
)";
    if (c.gizmoListed)
      machine += "\n[" + u + R"(Gizmo] 1
"DisplayName"="Gizmo"
"Publisher"="Acme"
)";
    ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, machine));
    ASSERT_TRUE(registry.LoadWineText(kHkeyCurrentUser, R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders] 1
"AppData"="C:\\users\\u\\AppData\\Roaming"
"Local AppData"="C:\\users\\u\\AppData\\Local"

[Software\\Acme\\Widget] 1
"v"="1"

[Software\\Acme2\\Widget] 1
"v"="1"

[Software\\Widget] 1
"v"="1"
)"));
    ScannedPrefix scanned(prefix, registry);
    const TUninstallInfo* widget = scanned.Named("Widget");
    ASSERT_NE(widget, nullptr) << c.what;
    const std::vector<std::string> found =
        scanned.Lines(FindLeftovers(scanned.scope, CollectEvidence(scanned.scope, *widget)));
    EXPECT_EQ(found, c.found) << c.what;
  }
}

}  // namespace
}  // namespace pgl
