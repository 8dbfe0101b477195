// pgl-cli as scripts meet it: a failed write of its output fails the command, and nothing a
// registry file or a path holds reaches the terminal as a control sequence.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "leftovers/PrefixRemoval.h"
#include "util/BuildInfo.h"

namespace pgl {
namespace {

const std::string kEntries =
    std::string("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n") +
    test::kBasicMachineRegistry;

std::string MachineRegistryWithEntries(int count) {
  std::string text = kEntries;
  for (int i = 0; i < count; ++i) {
    char block[256];
    std::snprintf(block, sizeof block,
                  "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Z%04d] "
                  "1700000000\n#time=1da1747c66d0000\n\"DisplayName\"=\"Program %04d with a "
                  "long enough name\"\n\"UninstallString\"=\"C:\\\\x\\\\un.exe\"\n",
                  i, i);
    text += block;
  }
  return text;
}

// Runs pgl-cli through sh, so that its standard output can be redirected and limited.
e2e::RunResult CliThroughShell(const std::string& prefix, const std::string& shell) {
  return e2e::Run({"sh", "-c", shell, PGL_CLI_PATH}, e2e::WineEnvironment(prefix));
}

TEST(CliOutput, AFailedWriteOfTheOutputFailsTheCommand) {
  test::TempDir dir;
  const std::string prefix = dir / "p";
  test::MakePrefixDirs(prefix);
  test::WriteFile(prefix + "/system.reg", MachineRegistryWithEntries(400));
  const std::string out = dir / "out";
  // /dev/full fails every write; a file size limit (a nearly full disk) fails one in the
  // middle, after part of the output went through.
  const std::pair<const char*, std::string> cases[] = {
      {"list to a full device", "\"$0\" list > /dev/full"},
      {"backup to a full device", "\"$0\" backup - > /dev/full"},
      {"prefixes to a full device", "\"$0\" prefixes > /dev/full"},
      {"help to a full device", "\"$0\" --help > /dev/full"},
      {"backup on a nearly full disk", "ulimit -f 8; trap '' XFSZ; \"$0\" backup - > " + out},
      {"list on a nearly full disk", "ulimit -f 8; trap '' XFSZ; \"$0\" list > " + out},
  };
  for (const auto& [what, shell] : cases) {
    const auto r = CliThroughShell(prefix, shell);
    EXPECT_EQ(r.exitCode, 1) << what << "\n" << r.output;
    EXPECT_NE(r.output.find("cannot write to standard output"), std::string::npos) << what << "\n"
                                                                                   << r.output;
  }
  // The same commands with room for their output succeed.
  EXPECT_EQ(CliThroughShell(prefix, "\"$0\" backup - > " + out).exitCode, 0);
  EXPECT_GT(std::filesystem::file_size(out), 8u * 1024);
}

TEST(CliOutput, NoControlSequenceReachesTheTerminal) {
  test::TempDir dir;
  const std::string hostile =
      "\x1b]0;owned\x07\x1b[2J\x9b"
      "31m";
  const std::string escapedDir = dir / ("p\x1b[2J"
                                        "x");
  test::MakePrefixDirs(escapedDir);
  test::WriteFile(escapedDir + "/system.reg", kEntries);
  const std::string badHead = dir / "bad";
  test::MakePrefixDirs(badHead);
  test::WriteFile(badHead + "/system.reg", hostile + "\nnot a registry\n");
  const std::string cut = dir / "cut";
  test::MakePrefixDirs(cut);
  test::WriteFile(cut + "/system.reg", kEntries.substr(0, kEntries.size() - 20));
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"a system.reg that quotes its first line", {"--prefix", badHead, "list"}},
      {"a prefix path with ESC", {"--prefix", escapedDir + "/missing", "list"}},
      {"a report file name with ESC", {"--prefix", escapedDir, "report", dir / "r\x1b[2J.html"}},
      {"an unknown argument with ESC", {"list", "--no-such" + hostile}},
      {"a key with ESC", {"--prefix", escapedDir, "remove", "--yes", hostile}},
      {"a cut registry", {"--prefix", cut, "list"}},
  };
  for (const auto& [what, args] : cases) {
    const auto r = e2e::Cli(escapedDir, args);
    for (char c : r.output) {
      const auto u = static_cast<unsigned char>(c);
      ASSERT_FALSE(u == 0x1b || u == 0x07 || u == 0x9b) << what << "\n" << r.output;
    }
  }
}

TEST(CliOutput, ABackupOfACutRegistryFailsAndWritesNothing) {
  test::TempDir dir;
  const std::string prefix = dir / "p";
  test::MakePrefixDirs(prefix);
  const std::string whole = MachineRegistryWithEntries(20);
  test::WriteFile(prefix + "/system.reg", whole.substr(0, whole.size() / 2));
  const std::string file = dir / "backup.reg";
  const auto r = e2e::Cli(prefix, {"backup", file});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("no backup was written"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(file));
  const auto toStdout = e2e::Cli(prefix, {"backup", "-"});
  EXPECT_EQ(toStdout.exitCode, 1);
  EXPECT_EQ(toStdout.output.find("REGEDIT"), std::string::npos);
  EXPECT_EQ(toStdout.output.find("Windows Registry Editor"), std::string::npos);
}

// The list and the outcome of a removal as scripts read them, with raw values beside texts.
TEST(CliOutput, JsonAndCsvForScripts) {
  test::TempDir dir;
  const std::string prefix = dir / "p";
  test::MakePrefixDirs(prefix);
  test::WriteFile(
      prefix + "/system.reg",
      kEntries +
          "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] "
          "1700000000\n\"DisplayName\"=\"App, \\\"quoted\\\"\"\n\"InstallDate\"=\"20261101\"\n"
          "\"UninstallString\"=\"C:\\\\missing.exe\"\n");
  const auto list = e2e::Cli(prefix, {"list", "--format", "json"});
  ASSERT_EQ(list.exitCode, 0) << list.output;
  const auto programs = nlohmann::json::parse(list.output.substr(list.output.find('[')));
  ASSERT_EQ(programs.size(), 1u);
  const auto& app = programs[0];
  EXPECT_EQ(app["name"], "App, \"quoted\"");
  EXPECT_EQ(app["install_date"], "2026-11-01");
  EXPECT_EQ(app["valid"], false);  // its uninstaller is missing
  EXPECT_EQ(app["place"], "machine");
  EXPECT_TRUE(app["size_bytes"].is_null());  // no usage record, no estimate: not known
  EXPECT_TRUE(app["times_used"].is_null());
  EXPECT_EQ(app["key"], "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App");
  const auto csv = e2e::Cli(prefix, {"list", "--format", "csv"});
  EXPECT_NE(csv.output.find("\r\n\"App, \"\"quoted\"\"\","), std::string::npos) << csv.output;
  const auto removed = e2e::Cli(prefix, {"remove", "--yes", "--format", "json", "--", "App"});
  EXPECT_EQ(removed.exitCode, 1) << removed.output;  // the file is not in Wine's exact form
  const auto outcome = nlohmann::json::parse(removed.output.substr(removed.output.find('[')));
  EXPECT_EQ(outcome[0]["outcome"], "not_removed");
  EXPECT_EQ(outcome[0]["prefix"], prefix);
  EXPECT_FALSE(outcome[0]["error_text"].get<std::string>().empty());
}

// Every prefix of a home in one list: each program once with its prefix's name before its key;
// a prefix that cannot be read is named, and the others are listed all the same.
TEST(CliOutput, EveryPrefixInOneList) {
  test::TempDir home;
  const auto prefix = [&](const std::string& folder, const std::string& program) {
    const std::string dir = home / folder;
    test::MakePrefixDirs(dir);
    test::WriteFile(dir + "/system.reg",
                    kEntries +
                        "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" +
                        program + "] 1700000000\n\"DisplayName\"=\"" + program + "\"\n");
  };
  prefix(".wine", "One");
  prefix(".wine-games", "Two");
  test::MakeDirs(home / ".wine-broken");
  test::WriteFile(home / ".wine-broken/system.reg", "not a registry\n");
  const auto r = e2e::Run({PGL_CLI_PATH, "list", "--all-prefixes"},
                          {{"HOME", home.Path()}, {"WINEPREFIX", home / ".wine"}});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("~/.wine-broken: "), std::string::npos) << r.output;
  std::vector<std::string> rows;
  for (const auto& cells : e2e::TabSeparatedLines(r.output))
    if (cells.size() == 23) rows.push_back(cells[0] + "|" + cells[21]);
  EXPECT_EQ(rows, (std::vector<std::string>{"Name|Prefix", "One|~/.wine", "Two|~/.wine-games"}));
}

// What each prefix costs: a removed Steam game's whole compatdata folder, its saves and last
// use, beside a plain prefix of the user's.
TEST(CliOutput, PrefixesWithTheirSizesOwnersAndSaves) {
  test::TempDir home;
  test::MakePrefixDirs(home / ".wine");
  test::WriteFile(home / ".wine/system.reg", kEntries);
  const std::string steam = home / ".local/share/Steam";
  const std::string compat = steam + "/steamapps/compatdata/4000";
  test::MakePrefixDirs(compat + "/pfx");
  test::WriteFile(compat + "/pfx/system.reg", kEntries);
  test::WriteFile(compat + "/version", "8.0");
  const std::string saves = compat + "/pfx/drive_c/users/steamuser/Documents/My Games/Quest";
  test::MakeDirs(saves);
  test::WriteFile(saves + "/slot1.sav", std::string(50000, 's'));
  const auto r = e2e::Run({PGL_CLI_PATH, "prefixes", "--sizes", "--format", "json"},
                          {{"HOME", home.Path()}, {"WINEPREFIX", ""}});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const auto prefixes = nlohmann::json::parse(r.output);
  ASSERT_EQ(prefixes.size(), 2u) << r.output;
  const auto du = [](const std::string& dir) {
    return std::stoull(e2e::Run({"du", "-s", "-B1", dir}).output);
  };
  for (const auto& p : prefixes) {
    const bool game = p["source"] == "Steam";
    SCOPED_TRACE(p["name"].get<std::string>());
    EXPECT_EQ(p["owner"], game ? "Steam app 4000" : "");
    EXPECT_EQ(p["owner_state"], game ? "removed" : "none");
    EXPECT_EQ(p["folder"], game ? compat : home / ".wine");
    EXPECT_EQ(p["size_bytes"].get<std::uint64_t>(), du(p["folder"]));
    EXPECT_EQ(p["saves_bytes"].get<std::uint64_t>() > 0, game);
    EXPECT_EQ(p["save_folders"].size(), game ? 1u : 0u);
    EXPECT_TRUE(p["last_used"].get<std::string>().ends_with("Z"));
  }
  EXPECT_EQ(prefixes[0]["save_folders"][0]["path"], "drive_c/users/steamuser/Documents/My Games");
}

// A removed Steam game's prefix (app 4000) below `home` with one save, "progress": its
// compatdata folder.
std::string MakeGameWithSave(const test::TempDir& home) {
  const std::string compat = home / ".local/share/Steam/steamapps/compatdata/4000";
  test::MakePrefixDirs(compat + "/pfx");
  test::WriteFile(compat + "/pfx/system.reg", kEntries);
  test::MakeDirs(compat + "/pfx/drive_c/users/steamuser/Saved Games/Quest");
  test::WriteFile(compat + "/pfx/drive_c/users/steamuser/Saved Games/Quest/slot1.sav", "progress");
  return compat;
}

// remove-prefix as a script meets it: a removed game's whole folder goes to the trash after
// its saves are archived; a prefix Wine runs in, a path no prefix is at, and a run without
// --yes where no one can be asked move nothing.
TEST(CliRemovePrefix, TheSavesFirstThenTheFolderAndNothingElse) {
  test::TempDir home, saves;
  const std::string compat = MakeGameWithSave(home);
  const std::string busy = home / ".wine-busy";
  test::MakePrefixDirs(busy);
  test::WriteFile(busy + "/system.reg", kEntries);
  const e2e::EnvList env = {{"HOME", home.Path()}, {"WINEPREFIX", ""}};
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {PGL_CLI_PATH, "remove-prefix"});
    return e2e::Run(args, env);
  };
  // No --yes and no terminal: nothing happens.
  auto r = run({compat});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("needs --yes"), std::string::npos) << r.output;
  EXPECT_TRUE(std::filesystem::exists(compat + "/pfx/system.reg"));

  ASSERT_EQ(e2e::Run({"wineserver", "-p"}, e2e::WineEnvironment(busy)).exitCode, 0);
  r = run({compat + "/pfx", busy, home / "nothing-here", "--yes", "--saves-to", saves.Path(),
           "--format", "json"});
  e2e::Run({"wineserver", "-k"}, e2e::WineEnvironment(busy));
  e2e::WaitForServer(busy);
  EXPECT_EQ(r.exitCode, 1) << r.output;
  const auto outcomes = nlohmann::json::parse(r.output);
  ASSERT_EQ(outcomes.size(), 3u) << r.output;
  EXPECT_EQ(outcomes[0]["outcome"], "removed");
  EXPECT_EQ(outcomes[0]["path"], compat);
  EXPECT_EQ(outcomes[0]["owner"], "Steam app 4000");
  EXPECT_EQ(outcomes[1]["outcome"], "wine_running");
  EXPECT_EQ(outcomes[2]["outcome"], "not_found");
  // The archive holds the save; the game's folder is in the trash; the busy prefix stays.
  const std::string archive = outcomes[0]["saves_archive"];
  EXPECT_TRUE(archive.starts_with(saves / "Steam app 4000 saves ")) << archive;
  EXPECT_EQ(e2e::Run({"tar", "-xOf", archive}).output, "progress");
  EXPECT_FALSE(std::filesystem::exists(compat));
  EXPECT_TRUE(std::filesystem::exists(home / ".local/share/Trash/files/4000/pfx/system.reg"));
  EXPECT_TRUE(std::filesystem::exists(busy + "/system.reg"));
  // Gone from the prefixes found: asked again, it is not found.
  r = run({compat, "--yes"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("not a prefix"), std::string::npos) << r.output;
}

// libarchive is loaded only when saves are archived: one that cannot make an archive (here a
// library of that name without its calls) fails the removal with what to install, and the
// prefix and its saves stay where they are.
TEST(CliRemovePrefix, WithoutAWorkingLibarchiveNothingIsRemoved) {
  test::TempDir home, saves;
  const std::string compat = MakeGameWithSave(home);
  const std::string save = compat + "/pfx/drive_c/users/steamuser/Saved Games/Quest/slot1.sav";
  const auto r = e2e::Run(
      {PGL_CLI_PATH, "remove-prefix", compat, "--yes", "--saves-to", saves.Path()},
      {{"HOME", home.Path()}, {"WINEPREFIX", ""}, {"LD_LIBRARY_PATH", PGL_FAKE_LIBARCHIVE_DIR}});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("libarchive"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("fake-libarchive/libarchive.so.13 lacks"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("install the package libarchive13"), std::string::npos) << r.output;
  EXPECT_EQ(test::ReadFile(save), "progress");
  EXPECT_TRUE(std::filesystem::exists(compat + "/pfx/system.reg"));
  EXPECT_TRUE(std::filesystem::is_empty(saves.Path()));
  EXPECT_FALSE(std::filesystem::exists(home / ".local/share/Trash"));
}

// Every file and folder below `root` with its kind, size, time and contents: two snapshots
// are equal only when nothing below it changed.
std::map<std::string, std::string> Tree(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> tree;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path& path = it->path();
    const auto status = fs::symlink_status(path);
    std::string what = std::to_string(static_cast<int>(status.type()));
    if (status.type() == fs::file_type::regular)
      what += " " + std::to_string(fs::file_size(path)) + " " +
              std::to_string(fs::last_write_time(path).time_since_epoch().count()) + " " +
              test::ReadFile(path.string());
    tree[fs::relative(path, root).string()] = what;
  }
  return tree;
}

// A dry run of each command that changes something says what would happen, with the outcome
// each would have ("would_"), and changes nothing below the home: no file, no registry key, no
// record, no archive, nothing in the trash.
TEST(CliDryRun, SaysWhatWouldHappenAndChangesNothing) {
  test::TempDir home;
  const std::string compat = MakeGameWithSave(home);
  const std::string cache = home / ".local/share/Steam/steamapps/shadercache/4000";
  test::MakeDirs(cache);
  test::WriteFile(cache + "/a.foz", std::string(5000, 'f'));
  const std::string wine = home / ".wine";
  test::MakePrefixDirs(wine);
  test::WriteFile(
      wine + "/system.reg",
      kEntries +
          "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Game] 1\n"
          "\"DisplayName\"=\"Game\"\n\"UninstallString\"=\"C:\\\\Game\\\\uninst.exe /S\"\n");
  test::MakeDirs(wine + "/drive_c/Game");
  test::WriteFile(wine + "/drive_c/Game/uninst.exe", "MZ");
  // Wine's menu entry of a prefix that is gone.
  const std::string orphan = home / ".local/share/applications/wine/Programs/Old.desktop";
  test::MakeDirs(home / ".local/share/applications/wine/Programs");
  test::WriteFile(orphan, "[Desktop Entry]\nExec=env WINEPREFIX=\"" + (home / "gone-prefix") +
                              "\" wine C:\\\\\\\\x.lnk\n");
  const auto before = Tree(home.Path());
  const e2e::EnvList env = {
      {"HOME", home.Path()}, {"WINEPREFIX", wine}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", ""}};
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), PGL_CLI_PATH);
    return e2e::Run(args, env);
  };
  auto r = run({"remove-prefix", compat, "--dry-run", "--format", "json"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  auto json = nlohmann::json::parse(r.output);
  EXPECT_EQ(json[0]["outcome"], "would_removed");
  EXPECT_EQ(json[0]["shadercache_removed"], true);
  r = run({"remove-prefix", compat, "--dry-run"});
  EXPECT_NE(r.output.find("Would write the saves of Steam app 4000"), std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Would move to the trash: " + compat), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("its shader cache " + cache), std::string::npos) << r.output;
  r = run({"remove", "Game", "--dry-run", "--format", "json"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  json = nlohmann::json::parse(r.output);
  EXPECT_EQ(json[0]["outcome"], "would_removed");
  r = run({"remove", "Game", "--dry-run"});
  EXPECT_NE(r.output.find("Would delete: HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                          "Uninstall\\Game (Game)"),
            std::string::npos)
      << r.output;
  r = run({"uninstall", "Game", "--dry-run", "--format", "json"});
  json = nlohmann::json::parse(r.output);
  EXPECT_EQ(json[0]["command"], "C:\\Game\\uninst.exe /S");
  EXPECT_TRUE(json[0]["outcome"] == "would_uninstalled" ||
              json[0]["outcome"] == "would_runner_failed")
      << r.output;
  r = run({"desktop-entries", "--remove", "--dry-run", "--format", "json"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // The note on the standard error stream comes with it: the records are the JSON array.
  const auto records = [](const std::string& output) {
    const std::size_t open = output.find('[');
    return nlohmann::json::parse(output.substr(open, output.rfind(']') + 1 - open));
  };
  json = records(r.output);
  ASSERT_EQ(json.size(), 1u) << r.output;
  EXPECT_EQ(json[0]["item"], orphan);
  EXPECT_EQ(json[0]["outcome"], "would_removed");
  // A program still installed: its leftovers would stay.
  r = run({"leftovers", "Game", "--remove", "--dry-run", "--format", "json"});
  json = records(r.output);
  for (const auto& item : json) EXPECT_EQ(item["outcome"], "would_stay") << r.output;
  EXPECT_EQ(Tree(home.Path()), before);
}

// Two Lutris games with one name ("My Game"), removed by two pgl-cli at the same moment: two
// archives, each with its own game's save, and neither prefix goes without its archive.
TEST(CliRemovePrefix, TwoRemovalsAtOnceKeepBothArchives) {
  test::TempDir home, saves;
  const e2e::EnvList env = {{"HOME", home.Path()}, {"WINEPREFIX", ""}};
  std::vector<std::string> prefixes;
  for (const char* n : {"1", "2"}) {
    const std::string prefix = home / (std::string("Games/my-game-") + n);
    test::MakePrefixDirs(prefix);
    test::WriteFile(prefix + "/system.reg", kEntries);
    test::MakeDirs(prefix + "/drive_c/users/ann/Saved Games/My Game");
    test::WriteFile(prefix + "/drive_c/users/ann/Saved Games/My Game/slot.sav",
                    std::string("game ") + n);
    test::MakeDirs(home / ".config/lutris/games");
    test::WriteFile(home / (std::string(".config/lutris/games/my-game-") + n + ".yml"),
                    "game:\n  exe: /gone/game.exe\n  prefix: " + prefix + "\n");
    prefixes.push_back(prefix);
  }
  std::vector<e2e::Spawned> running;
  for (const std::string& prefix : prefixes)
    running.push_back(e2e::Spawn({PGL_CLI_PATH, "remove-prefix", prefix, "--yes", "--saves-to",
                                  saves.Path(), "--format", "json"},
                                 env));
  std::set<std::string> archives, contents;
  for (const e2e::Spawned& s : running) {
    const e2e::RunResult r = e2e::Finish(s);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto outcome = nlohmann::json::parse(r.output);
    EXPECT_EQ(outcome[0]["outcome"], "removed");
    const std::string archive = outcome[0]["saves_archive"];
    archives.insert(archive);
    contents.insert(e2e::Run({"tar", "-xOf", archive}).output);
  }
  EXPECT_EQ(archives.size(), 2u);
  EXPECT_EQ(contents, (std::set<std::string>{"game 1", "game 2"}));
}

// A real wineserver started in the prefix while its saves were archived: the archive is kept,
// the prefix stays, and the outcome says Wine runs.
TEST(CliRemovePrefix, WineStartedWhileTheSavesWereArchivedKeepsThePrefix) {
  test::TempDir home, saves;
  const std::string prefix = home / ".wine-game";
  test::MakePrefixDirs(prefix);
  test::WriteFile(prefix + "/system.reg", kEntries);
  test::MakeDirs(prefix + "/drive_c/users/ann/Documents/Game");
  test::WriteFile(prefix + "/drive_c/users/ann/Documents/Game/save.dat", "save");
  const KnownSystem known{"~/.wine-game", prefix, "Wine", "win64", prefix, "", OwnerState::None};
  XdgFolders xdg;
  xdg.home = home.Path();
  xdg.dataHome = home / ".local/share";
  xdg.configHome = home / ".config";
  xdg.desktop = home / "Desktop";
  xdg.documents = home / "Documents";
  PrefixRemovalOptions options;
  options.savesTo = saves.Path();
  int asked = 0;
  const PrefixRemoval r = RemovePrefix(
      known, {known},
      [&] {
        // The second look comes after the archive: Wine starts just before it.
        if (++asked == 2) {
          EXPECT_EQ(e2e::Run({"wineserver", "-p"}, e2e::WineEnvironment(prefix)).exitCode, 0);
        }
        return KnownSystemInUse(known);
      },
      options, xdg);
  e2e::Run({"wineserver", "-k"}, e2e::WineEnvironment(prefix));
  e2e::WaitForServer(prefix);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(r.outcome, PrefixOutcome::WineRunning) << r.why;
  EXPECT_TRUE(std::filesystem::exists(prefix + "/system.reg"));
  ASSERT_FALSE(r.archive.file.empty());
  EXPECT_EQ(e2e::Run({"tar", "-xOf", r.archive.file}).output, "save");
}

// --version names the release and the commit, with or without a command after it.
TEST(CliUsage, VersionNamesTheReleaseAndTheCommit) {
  EXPECT_TRUE(std::regex_match(VersionText(), std::regex(R"(\d+\.\d+\.\d+ \(commit \S+\))")))
      << VersionText();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{PGL_CLI_PATH, "--version"},
        std::vector<std::string>{PGL_CLI_PATH, "list", "--version"}}) {
    const auto r = e2e::Run(args);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "pgl-cli " + VersionText() + "\n");
  }
}

// A script that is hostile, damaged or no script at all restores nothing it should not: the
// registry files stay as they were, and the output names what was refused or why.
TEST(CliRestore, NothingButProgramsKeysIsEverWritten) {
  test::TempDir dir;
  const std::string prefix = dir / "p";
  test::MakePrefixDirs(prefix);
  const std::string registry = MachineRegistryWithEntries(3);
  test::WriteFile(prefix + "/system.reg", registry);
  const std::string file = dir / "in.reg";
  const auto write = [&](const std::string& bytes) { test::WriteFile(file, bytes); };
  std::string wide = "\xFF\xFE";
  for (char c : std::string("Windows Registry Editor Version 5.00\r\n[HKLM\\X]\r\n"))
    wide += std::string{c, '\0'};
  const std::pair<std::function<void()>, std::vector<std::string>> cases[] = {
      {[&] {
         write(
             "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]"
             "\r\n\"Evil\"=\"C:\\\\evil.exe\"\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
             "[HKEY_CURRENT_USER\\Software\\Classes\\.txt]\r\n@=\"evil\"\r\n");
       },
       {"Refused: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run: not a key",
        "Refused: -HKEY_LOCAL_MACHINE\\SOFTWARE: it deletes a key",
        "Refused: HKEY_CURRENT_USER\\Software\\Classes\\.txt: not a key", "Nothing to restore."}},
      {[&] {
         write("REGEDIT4\r\n");
         std::filesystem::resize_file(file, 100u << 20);
       },
       {"line 2: neither a key, a value nor a comment; nothing was read."}},
      {[&] { write(wide.substr(0, wide.size() - 1)); }, {"it was cut short"}},
      {[&] { write(test::ReadFile(PGL_CLI_PATH).substr(0, 4096)); }, {"not a registry script"}},
  };
  for (const auto& [make, said] : cases) {
    make();
    const auto r = e2e::Cli(prefix, {"restore", "--yes", file});
    EXPECT_EQ(r.exitCode, 1) << r.output;
    for (const auto& text : said) EXPECT_NE(r.output.find(text), std::string::npos) << r.output;
    EXPECT_EQ(test::ReadFile(prefix + "/system.reg"), registry);
    EXPECT_FALSE(std::filesystem::exists(prefix + "/user.reg"));
  }
}

TEST(CliUsage, AMisspeltCommandAndAMissingPrefixAreNamed) {
  test::TempDir dir;
  const std::string missing = dir / "missing";
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string said;
  } cases[] = {
      {{"lsit"}, 2, "unknown command \"lsit\"; did you mean \"list\"?"},
      {{"--prefix", missing, "reomve", "X"}, 2, "did you mean \"remove\"?"},
      {{"frobnicate"}, 2, "unknown command \"frobnicate\"."},
      {{"--prefix", missing, "list"}, 1, "--prefix: There is no Wine prefix at"},
      {{"list"}, 1, "Set WINEPREFIX"},  // the tests' WINEPREFIX names no prefix
  };
  for (const auto& c : cases) {
    const auto r = e2e::Run(
        [&] {
          std::vector<std::string> argv{PGL_CLI_PATH};
          argv.insert(argv.end(), c.args.begin(), c.args.end());
          return argv;
        }(),
        {{"WINEPREFIX", missing}});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.front() << "\n" << r.output;
    EXPECT_NE(r.output.find(c.said), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace pgl
