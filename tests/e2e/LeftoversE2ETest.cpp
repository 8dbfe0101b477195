// Leftovers on real Wine, with Wine's menu builder writing into a test home: what an uninstaller
// leaves goes to the trash (registry keys to an export first), and nothing of the programs
// beside it is touched, not even of one by the same publisher, one called "Update" or one whose
// folder starts with the same name.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "leftovers/RegistrySaves.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {
namespace {

struct Program {
  std::string key, product, publisher, ext;
};
const Program kDemo{"LeftDemo", "Leftover Demo", "Tervask Labs", "lftd"};
const Program kOthers[] = {
    {"LeftOther", "Other Tool", "Tervask Labs", "lfto"},
    {"Update", "Update", "Updaters Inc", "lfup"},
    {"LeftPro", "Leftover Demo Pro", "Tervask Labs", "lfpr"},
};

class Leftovers : public ::testing::Test {
 protected:
  void SetUp() override {
    home = dir / "home";
    test::MakeDirs(home + "/Desktop");
    prefix = e2e::NewPrefix(dir / "p");
    // The user's folders lead into this home, as wineboot makes them for it.
    for (const auto& user : fs::directory_iterator(prefix + "/drive_c/users")) {
      const fs::path desktop = user.path() / "Desktop";
      if (user.path().filename() == "Public" || !fs::is_symlink(desktop)) continue;
      fs::remove(desktop);
      fs::create_directory_symlink(home + "/Desktop", desktop);
    }
    for (const Program& p : {kDemo, kOthers[0], kOthers[1], kOthers[2]}) {
      const std::string exe = dir / (p.key + ".exe");
      const auto built =
          e2e::Run({"makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DOUTFILE=" + exe,
                    "-DKEYNAME=" + p.key, "-DPRODUCT=" + p.product, "-DPUBLISHER=" + p.publisher,
                    "-DEXT=" + p.ext, std::string(PGL_E2E_DATA) + "/leftovers.nsi"});
      ASSERT_EQ(built.exitCode, 0) << built.output;
      ASSERT_EQ(e2e::RunWine(prefix, {exe}, Env()).exitCode, 0);
    }
  }

  e2e::EnvList Env() const {
    return {{"HOME", home}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", ""}};
  }
  e2e::RunResult Cli(std::vector<std::string> args) const {
    args.insert(args.begin(), PGL_CLI_PATH);
    e2e::EnvList env = e2e::WineEnvironment(prefix);
    for (const auto& e : Env()) env.push_back(e);
    return e2e::Run(args, env);
  }

  // Every file and folder under the home (but its trash) and the prefix's drive whose path
  // holds one of the words.
  std::set<std::string> PathsWith(const std::vector<std::string>& words,
                                  const std::vector<std::string>& unless = {}) const {
    std::set<std::string> found;
    for (const std::string& root : {home, prefix + "/drive_c"})
      for (auto it = fs::recursive_directory_iterator(root); it != fs::end(it); ++it) {
        const std::string path = it->path().string();
        if (path.find("/.local/share/Trash") != std::string::npos) continue;
        if (it->is_symlink()) it.disable_recursion_pending();
        bool hit = false;
        for (const auto& w : words) hit = hit || path.find(w) != std::string::npos;
        for (const auto& u : unless) hit = hit && path.find(u) == std::string::npos;
        if (hit) found.insert(path);
      }
    return found;
  }

  bool KeyExists(RootKey root, const std::string& key) const {
    WinePrefixRegistry registry(prefix);
    return RegKeyExists(registry, root, key);
  }

  test::TempDir dir;
  std::string home, prefix;
};

TEST_F(Leftovers, AnUninstallWithLeftoversLeavesNothingOfItAndTouchesNothingElse) {
  const std::vector<std::string> othersWords = {"Other Tool", "LeftOther",         "Updaters Inc",
                                                "Update.",    "Leftover Demo Pro", "LeftPro"};
  const auto othersBefore = PathsWith(othersWords);
  ASSERT_GT(othersBefore.size(), 20u);
  const auto demoBefore = PathsWith({"Leftover Demo", "LeftDemo"}, {"Leftover Demo Pro"});
  ASSERT_GT(demoBefore.size(), 8u);

  const auto r = Cli({"uninstall", "--yes", "--leftovers", "LeftDemo"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(PathsWith({"Leftover Demo", "LeftDemo"}, {"Leftover Demo Pro"}),
            std::set<std::string>{})
      << r.output;
  EXPECT_EQ(PathsWith(othersWords), othersBefore) << r.output;
  const std::string classes = "Software\\Classes\\";
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  EXPECT_FALSE(KeyExists(kHkeyCurrentUser, "Software\\Tervask Labs\\Leftover Demo"));
  EXPECT_FALSE(KeyExists(kHkeyLocalMachine, classes + ".lftd"));
  EXPECT_FALSE(KeyExists(kHkeyLocalMachine, classes + "LeftDemo.Document"));
  EXPECT_FALSE(KeyExists(kHkeyLocalMachine, appPaths + "LeftDemo.exe"));
  for (const Program& p : kOthers) {
    EXPECT_TRUE(KeyExists(kHkeyCurrentUser, "Software\\" + p.publisher + "\\" + p.product));
    EXPECT_TRUE(KeyExists(kHkeyLocalMachine, classes + "." + p.ext));
    EXPECT_TRUE(KeyExists(kHkeyLocalMachine, appPaths + p.key + ".exe"));
  }
  // Every file that went is in the trash, with its information file.
  const std::string trash = home + "/.local/share/Trash";
  std::size_t trashed = 0;
  for (const auto& f : fs::directory_iterator(trash + "/files")) {
    ++trashed;
    const std::string info =
        test::ReadFile(trash + "/info/" + f.path().filename().string() + ".trashinfo");
    EXPECT_NE(info.find("[Trash Info]\nPath=/"), std::string::npos) << info;
  }
  std::size_t moved = 0;
  for (std::size_t at = r.output.find("Moved to the trash: "); at != std::string::npos;
       at = r.output.find("Moved to the trash: ", at + 1))
    ++moved;
  EXPECT_GE(moved, 4u) << r.output;
  EXPECT_EQ(trashed, moved) << r.output;
  // Every key that went is in the export.
  const std::size_t saved = r.output.find("Deleted (saved in ");
  ASSERT_NE(saved, std::string::npos) << r.output;
  const std::size_t from = saved + 18;
  const std::string exportFile = r.output.substr(from, r.output.find("): ", from) - from);
  std::string text = test::ReadFile(exportFile);
  if (text.starts_with("\xFF\xFE")) text = Utf16ToUtf8(Utf16LeUnits(text.substr(2)));
  for (const std::string& key : std::vector<std::string>{
           std::string("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.lftd]"),
           "[HKEY_LOCAL_MACHINE\\Software\\Classes\\LeftDemo.Document\\shell\\open\\command]",
           "[HKEY_LOCAL_MACHINE\\" + appPaths + "LeftDemo.exe]",
           "[HKEY_CURRENT_USER\\Software\\Tervask Labs\\Leftover Demo]"})
    EXPECT_NE(text.find(key), std::string::npos) << key << "\n" << text;
}

// The record made before the uninstaller ran is what finds the leftovers later, after pgl-cli
// has ended: an entry that is gone is known by it.
// The record finds them after the uninstall ended. --remove takes the sure items only; a
// folder named after the product alone (uncertain) goes with --all-confidences.
TEST_F(Leftovers, TheRecordFindsThemAfterTheUninstallEnded) {
  ASSERT_EQ(Cli({"uninstall", "--yes", "LeftDemo"}).exitCode, 0);
  std::string profile;
  for (const auto& user : fs::directory_iterator(prefix + "/drive_c/users"))
    if (user.path().filename() != "Public") profile = user.path().string();
  const std::string byName = profile + "/AppData/Local/Leftover Demo";
  test::MakeDirs(byName);
  test::WriteFile(byName + "/cache.bin", "x");
  const auto listed = Cli({"leftovers", "--format", "json", "LeftDemo"});
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  EXPECT_NE(listed.output.find("\"confidence\": \"sure\""), std::string::npos) << listed.output;
  EXPECT_NE(listed.output.find("\"confidence\": \"uncertain\""), std::string::npos)
      << listed.output;
  EXPECT_NE(listed.output.find("Leftover Demo.lnk"), std::string::npos) << listed.output;
  const auto removed = Cli({"leftovers", "--remove", "--yes", "LeftDemo"});
  EXPECT_EQ(removed.exitCode, 0) << removed.output;
  EXPECT_EQ(PathsWith({"Leftover Demo", "LeftDemo"}, {"Leftover Demo Pro"}),
            (std::set<std::string>{byName, byName + "/cache.bin"}))
      << removed.output;
  const auto all = Cli({"leftovers", "--remove", "--all-confidences", "--yes", "LeftDemo"});
  EXPECT_EQ(all.exitCode, 0) << all.output;
  EXPECT_EQ(PathsWith({"Leftover Demo", "LeftDemo"}, {"Leftover Demo Pro"}),
            std::set<std::string>{})
      << all.output;
}

// Killed (kill -9) as soon as its record is written, before its batch ran: the record is whole,
// and once the uninstaller has run after all, it finds what was left.
TEST_F(Leftovers, ARecordSurvivesABatchKilledMidway) {
  const std::string folder = fs::path(PGL_CLI_PATH).parent_path().string() + "/leftovers";
  const auto records = [&] {
    std::set<std::string> files;
    std::error_code ec;
    for (const auto& f : fs::directory_iterator(folder, ec))
      // A record is there once renamed into place: the temporary file of its save (also
      // "evidence-...") does not count.
      if (f.path().filename().string().starts_with("evidence-") && f.path().extension() == ".json")
        files.insert(f.path().string());
    return files;
  };
  const auto before = records();
  e2e::EnvList env = e2e::WineEnvironment(prefix);
  for (const auto& e : Env()) env.push_back(e);
  const e2e::Spawned cli =
      e2e::Spawn({PGL_CLI_PATH, "uninstall", "--yes", "LeftDemo", "LeftPro"}, env);
  for (int waited = 0; records() == before && waited < 600; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::kill(cli.pid, SIGKILL);
  e2e::Finish(cli);
  e2e::WaitForServer(prefix);
  ASSERT_NE(records(), before);
  // The batch's first uninstaller, run after all (unless the batch had started it before it
  // was killed: Wine runs it on to its end).
  if (fs::exists(prefix + "/drive_c/Program Files/Tervask Labs/Leftover Demo/uninstall.exe")) {
    const auto ran = e2e::RunWine(
        prefix, {"C:\\Program Files\\Tervask Labs\\Leftover Demo\\uninstall.exe", "/S"}, Env());
    ASSERT_EQ(ran.exitCode, 0) << ran.output;
  }
  ASSERT_FALSE(KeyExists(kHkeyLocalMachine,
                         "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LeftDemo"));
  const auto listed = Cli({"leftovers", "LeftDemo"});
  EXPECT_EQ(listed.exitCode, 0) << listed.output;
  EXPECT_NE(listed.output.find("Leftover Demo.lnk"), std::string::npos) << listed.output;
  EXPECT_NE(listed.output.find("App Paths\\LeftDemo.exe"), std::string::npos) << listed.output;
}

// Programs spelled to reach what is not theirs, uninstalled with --leftovers on real Wine: one
// whose folder is C:\windows by "..", one by a trailing dot, one inside a profile folder Wine
// linked to the home, one called "Wow6432Node" by a publisher called "Classes"; and the demo
// program after it took over Wine's txtfile. Only their own things go.
TEST_F(Leftovers, ProgramsThatReachBeyondThemselvesTakeNothingElse) {
  std::string user;
  for (const auto& entry : fs::directory_iterator(prefix + "/drive_c/users"))
    if (entry.path().filename() != "Public") user = entry.path().filename().string();
  ASSERT_FALSE(user.empty());
  // The profile's Documents leads to this home, which holds what a user keeps.
  const fs::path documents = prefix + "/drive_c/users/" + user + "/Documents";
  fs::remove_all(documents);
  fs::create_directory_symlink(home, documents);
  test::MakeDirs(home + "/.ssh");
  test::WriteFile(home + "/.ssh/id_rsa", "key");
  test::MakeDirs(prefix + "/drive_c/Games/Wow");
  test::WriteFile(prefix + "/drive_c/Games/Wow/wow.exe", "MZ");
  const std::string uninstall =
      "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
      "CurrentVersion\\Uninstall\\";
  const auto entry = [&](const std::string& key, const std::string& publisher,
                         const std::string& location) {
    std::string escaped;
    for (const char c : location) escaped += c == '\\' ? std::string(R"(\\)") : std::string(1, c);
    return "[" + uninstall + key + "]\r\n\"DisplayName\"=\"" + key + "\"\r\n\"Publisher\"=\"" +
           publisher + "\"\r\n\"InstallLocation\"=\"" + escaped +
           "\"\r\n\"UninstallString\"=\"C:\\\\windows\\\\system32\\\\reg.exe delete \\\"" +
           [&] {
             std::string k;
             for (const char c : uninstall + key)
               k += c == '\\' ? std::string(R"(\\)") : std::string(1, c);
             return k;
           }() +
           "\\\" /f\"\r\n\r\n";
  };
  const std::string script =
      "REGEDIT4\r\n\r\n" + entry("DotDot", "Evil Corp", "C:\\users\\Public\\..\\..\\windows") +
      entry("TrailingDot", "Evil Corp", "C:\\Windows.") +
      entry("HomeLinked", "Evil Corp", "C:\\users\\" + user + "\\Documents\\.ssh") +
      entry("Wow6432Node", "Classes", "C:\\Games\\Wow") +
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\txtfile\\shell\\open\\command]\r\n@=\"\\\"C:\\\\"
      "Program Files\\\\Tervask Labs\\\\Leftover Demo\\\\LeftDemo.exe\\\" \\\"%1\\\"\"\r\n\r\n";
  test::WriteFile(dir / "hostile.reg", script);
  ASSERT_EQ(e2e::RunWine(prefix, {"regedit", "/s", "Z:" + dir / "hostile.reg"}, Env()).exitCode, 0);
  e2e::WaitForServer(prefix);
  std::size_t windowsFiles = 0;
  for (auto it = fs::recursive_directory_iterator(prefix + "/drive_c/windows"); it != fs::end(it);
       ++it)
    ++windowsFiles;

  const auto r = Cli({"uninstall", "--yes", "--leftovers", "DotDot", "TrailingDot", "HomeLinked",
                      "Wow6432Node", "LeftDemo"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  std::size_t windowsAfter = 0;
  for (auto it = fs::recursive_directory_iterator(prefix + "/drive_c/windows"); it != fs::end(it);
       ++it)
    ++windowsAfter;
  EXPECT_EQ(windowsAfter, windowsFiles) << r.output;
  EXPECT_EQ(test::ReadFile(home + "/.ssh/id_rsa"), "key") << r.output;
  for (const char* kept : {"users", "ProgramData/Microsoft", "Program Files/Common Files"})
    EXPECT_TRUE(fs::exists(prefix + "/drive_c/" + kept)) << kept;
  EXPECT_TRUE(fs::is_symlink(documents));
  EXPECT_TRUE(fs::exists(prefix + "/dosdevices/c:"));
  EXPECT_FALSE(fs::exists(prefix + "/drive_c/Games/Wow")) << r.output;
  EXPECT_FALSE(fs::exists(prefix + "/drive_c/Program Files/Tervask Labs/Leftover Demo"));
  for (const char* key : {"Software\\Wow6432Node\\Microsoft", "Software\\Classes\\txtfile",
                          "Software\\Classes\\txtfile\\shell\\print\\command", "Software\\Classes"})
    EXPECT_TRUE(KeyExists(kHkeyLocalMachine, key)) << key << "\n" << r.output;
  EXPECT_TRUE(KeyExists(kHkeyCurrentUser, "Software\\Wine"));
  WinePrefixRegistry registry(prefix);
  EXPECT_FALSE(RegValueExists(registry, kHkeyLocalMachine,
                              "Software\\Classes\\txtfile\\shell\\open\\command", ""))
      << r.output;
}

// A game's saves in the registry, written by Wine's own reg.exe (and a name with a line break):
// registry.reg brings them back into a new prefix with `wine regedit`, value for value (names,
// types and bytes).
TEST(RegistrySaves, WineRegeditBringsTheGamesKeysBack) {
  test::TempDir dir;
  const std::string old = e2e::NewPrefix(dir / "old");
  const std::string key = "HKCU\\Software\\Studio\\Game";
  const std::vector<std::vector<std::string>> values = {
      {"/v", "Slot1", "/t", "REG_SZ", "/d", "Level 3, 40 coins"},
      {"/v", "Coins", "/t", "REG_DWORD", "/d", "40"},
      {"/v", "Blob", "/t", "REG_BINARY", "/d", "0102ff"},
      {"/v", "Names", "/t", "REG_MULTI_SZ", "/d", "Ann\\0Bob"},
      {"/v", "Folder", "/t", "REG_EXPAND_SZ", "/d", "%APPDATA%\\Game"},
      {"/v", "Zażółć", "/t", "REG_SZ", "/d", "gęślą jaźń"},
  };
  for (const auto& value : values) {
    std::vector<std::string> args = {"reg", "add", key};
    args.insert(args.end(), value.begin(), value.end());
    args.push_back("/f");
    const auto added = e2e::RunWine(old, args);
    ASSERT_EQ(added.exitCode, 0) << added.output;
  }
  // A name with a line break, which reg.exe cannot write: added to Wine's own file form.
  e2e::WaitForServer(old);
  {
    std::string user = test::ReadFile(old + "/user.reg");
    const std::size_t at = user.find("[Software\\\\Studio\\\\Game]");
    ASSERT_NE(at, std::string::npos) << user;
    const std::size_t line = user.find('\n', user.find("#time=", at)) + 1;
    user.insert(line, "\"Line\\nBreak\"=\"two\\nlines\"\n");
    test::WriteFile(old + "/user.reg", user);
  }
  WinePrefixRegistry before(old);
  std::vector<std::string> leftOut;
  const std::string script = RegistrySavesScript(before, leftOut);
  EXPECT_TRUE(leftOut.empty());
  test::WriteFile(dir / "registry.reg", script);
  const std::string fresh = e2e::NewPrefix(dir / "new");
  const auto imported = e2e::RunWine(fresh, {"regedit", "/S", e2e::WinePath(dir / "registry.reg")});
  ASSERT_EQ(imported.exitCode, 0) << imported.output;
  WinePrefixRegistry after(fresh);
  const auto game = [](WinePrefixRegistry& registry) {
    return FindRegKey(registry.Hive(kHkeyCurrentUser), "Software\\Studio\\Game");
  };
  ASSERT_NE(game(before), nullptr);
  ASSERT_NE(game(after), nullptr);
  const auto& was = game(before)->Values();
  const auto& is = game(after)->Values();
  ASSERT_EQ(was.size(), values.size() + 1);
  ASSERT_EQ(is.size(), was.size());
  for (std::size_t i = 0; i < was.size(); ++i) {
    SCOPED_TRACE(Utf16ToUtf8(was[i].Name()));
    EXPECT_TRUE(was[i].Name() == is[i].Name());
    EXPECT_EQ(was[i].type, is[i].type);
    EXPECT_EQ(was[i].Bytes(), is[i].Bytes());
  }
}

}  // namespace
}  // namespace pgl
