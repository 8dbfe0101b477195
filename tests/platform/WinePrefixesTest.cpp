// Finding the user's Wine prefixes in a home laid out as each front end lays it out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "TestSupport.h"
#include "platform/wine/FrontEndFiles.h"
#include "platform/wine/PrefixLookup.h"
#include "platform/wine/WinePrefixes.h"
#include "platform/wine/WineProcessRunner.h"

namespace pgl {
namespace {

void Prefix(const std::string& dir, bool win32 = false) {
  test::MakeDirs(dir);
  test::WriteFile(dir + "/system.reg",
                  std::string("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n") +
                      (win32 ? "#arch=win32\n" : "#arch=win64\n"));
}

void File(const std::string& path, const std::string& text) {
  test::MakeDirs(path.substr(0, path.rfind('/')));
  test::WriteFile(path, text);
}

// Steam's binary shortcuts.vdf with the given appids and names.
std::string ShortcutsVdf(const std::vector<std::pair<std::uint32_t, std::string>>& shortcuts) {
  const auto name = [](char type, const std::string& text) {
    return std::string(1, type) + text + std::string(1, '\0');
  };
  std::string out = name('\x00', "shortcuts");
  for (std::size_t i = 0; i < shortcuts.size(); ++i) {
    out += name('\x00', std::to_string(i));
    out += name('\x02', "appid");
    for (int k = 0; k < 4; ++k) out += static_cast<char>((shortcuts[i].first >> (8 * k)) & 0xFF);
    out += name('\x01', "AppName") + shortcuts[i].second + std::string(1, '\0');
    out += name('\x01', "Exe") + "\"C:\\x.exe\"" + std::string(1, '\0');
    out += name('\x00', "tags") + "\x08";
    out += "\x08";
  }
  return out + "\x08\x08";
}

class WinePrefixesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string h = home.Path();
    Prefix(h + "/.wine");
    Prefix(h + "/.wine32", true);
    test::MakeDirs(h + "/.wineconf");  // no system.reg: not a prefix
    Prefix(other / "env-prefix");
    // Steam with its own library, a second one elsewhere and one that is gone.
    const std::string steam = h + "/.local/share/Steam";
    File(steam + "/steamapps/libraryfolders.vdf",
         "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + steam +
             "\"\n\t\t\"apps\" { \"220\" \"1\" }\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
             (other / "lib2") + "\"\n\t}\n\t\"2\"\n\t{\n\t\t\"path\"\t\t\"" + (other / "gone") +
             "\"\n\t}\n}\n");
    File(steam + "/steamapps/appmanifest_220.acf",
         "\"AppState\"\n{\n\t\"appid\"\t\t\"220\"\n\t\"name\"\t\t\"Half-Life 2\"\n}\n");
    Prefix(steam + "/steamapps/compatdata/220/pfx");
    File(steam + "/steamapps/compatdata/220/config_info",
         "8.0-5\n" + steam + "/steamapps/common/Proton 8.0/files/share/fonts/\n");
    File(steam + "/steamapps/common/Proton 8.0/files/bin/wine", "#!/bin/sh\n");
    File(other / "lib2/steamapps/appmanifest_400.acf",
         "\"AppState\" { \"appid\" \"400\" \"name\" \"Portal\" }");
    Prefix(other / "lib2/steamapps/compatdata/400/pfx");
    // A game uninstalled from Steam (no manifest left), a non-Steam shortcut still in Steam and
    // one the user took out of it.
    Prefix(other / "lib2/steamapps/compatdata/730/pfx");
    Prefix(steam + "/steamapps/compatdata/3456789012/pfx");
    Prefix(steam + "/steamapps/compatdata/2876543210/pfx");
    File(steam + "/userdata/1234/config/shortcuts.vdf", ShortcutsVdf({{3456789012u, "Tetris"}}));
    test::MakeDirs(h + "/.steam");
    ASSERT_EQ(::symlink(steam.c_str(), (h + "/.steam/steam").c_str()), 0);  // the same Steam
    const std::string flatSteam = h + "/.var/app/com.valvesoftware.Steam/.local/share/Steam";
    Prefix(flatSteam + "/steamapps/compatdata/570/pfx");
    File(flatSteam + "/steamapps/libraryfolders.vdf", "\"libraryfolders\" { \"0\" { broken");
    // Bottles: a runner of its own, the system's Wine, a broken bottle.yml; and a Flatpak one.
    const std::string bottles = h + "/.local/share/bottles";
    Prefix(bottles + "/bottles/Office", true);
    File(bottles + "/bottles/Office/bottle.yml",
         "Arch: win32\nName: Office 2010\nRunner: soda-7.0-9\n");
    File(bottles + "/runners/soda-7.0-9/bin/wine", "");
    File(bottles + "/runners/soda-7.0-9/bin/wineserver", "");
    test::MakeDirs(bottles + "/runners/soda-7.0-9/lib64/wine");
    Prefix(bottles + "/bottles/Games");
    File(bottles + "/bottles/Games/bottle.yml", "Name: 'My Games'\nRunner: sys-wine-9.0\n");
    Prefix(bottles + "/bottles/Broken");
    File(bottles + "/bottles/Broken/bottle.yml", std::string("\0\x01\xff{[", 5));
    Prefix(h + "/.var/app/com.usebottles.bottles/data/bottles/bottles/Paint");
    File(h + "/.var/app/com.usebottles.bottles/data/bottles/bottles/Paint/bottle.yml",
         "Name: Paint\nRunner: caffe-9.7\n");
    // Lutris, Heroic and PlayOnLinux.
    File(h + "/.config/lutris/games/the-witcher-3-1650000000.yml",
         "game:\n  exe: /x/witcher3.exe\n  prefix: ~/Games/witcher-3\nwine:\n  version: "
         "lutris-7.2-2-x86_64\nsystem: {}\n");
    Prefix(h + "/Games/witcher-3");
    File(h + "/.local/share/lutris/runners/wine/lutris-7.2-2-x86_64/bin/wine", "");
    File(h + "/.config/lutris/games/native-game-1.yml", "game:\n  exe: /usr/bin/true\n");
    File(h + "/.config/lutris/games/solitaire-1650000001.yml",
         "game:\n  exe: drive_c/sol.exe\n  prefix: " + h + "/Games/solitaire\n");
    Prefix(h + "/Games/solitaire");
    File(h + "/Games/solitaire/drive_c/sol.exe", "MZ");
    File(h + "/.config/heroic/GamesConfig/Fortnite.json",
         "{\"Fortnite\": {\"winePrefix\": \"" + h +
             "/Games/Heroic/Prefixes/default/Some \\u0047ame\", \"wineVersion\": {\"bin\": \"" + h +
             "/wine-ge/bin/wine\", \"name\": \"Wine-GE\", \"type\": \"wine\"}}}");
    Prefix(h + "/Games/Heroic/Prefixes/default/Some Game");
    File(h + "/wine-ge/bin/wine", "");
    Prefix(h + "/Games/Heroic/Prefixes/default/Orphan");
    File(h + "/.config/heroic/GamesConfig/Puzzle.json",
         "{\"Puzzle\": {\"winePrefix\": \"" + h + "/Games/Heroic/Prefixes/default/Puzzle\"}}");
    Prefix(h + "/Games/Heroic/Prefixes/default/Puzzle");
    File(h + "/.config/heroic/legendaryConfig/legendary/installed.json",
         "{\"Puzzle\": {\"app_name\": \"Puzzle\", \"title\": \"Puzzle Quest\"}}");
    Prefix(h + "/.PlayOnLinux/wineprefix/Notepad", true);
    File(h + "/.PlayOnLinux/wineprefix/Notepad/playonlinux.cfg", "ARCH=x86\nVERSION=4.0\n");
  }

  test::TempDir home;
  test::TempDir other;
};

TEST_F(WinePrefixesTest, APrefixThatWinePrefixNamesKeepsItsFrontEndsWine) {
  const std::string bottle = home / ".local/share/bottles/bottles/Office";
  const PrefixSearch found = FindWinePrefixes(home.Path(), bottle);
  const auto it = std::find_if(found.prefixes.begin(), found.prefixes.end(),
                               [&](const FoundPrefix& p) { return p.path == bottle; });
  ASSERT_NE(it, found.prefixes.end());
  EXPECT_EQ(it->source, "Bottles");
  EXPECT_TRUE(it->wine.program.ends_with("/runners/soda-7.0-9/bin/wine"));
  // It runs as Bottles runs it: with the runner's server, loader, DLLs and libraries.
  const std::string runner = home / ".local/share/bottles/runners/soda-7.0-9";
  std::map<std::string, std::string> env(it->wine.environment.begin(), it->wine.environment.end());
  EXPECT_EQ(env["WINELOADER"], runner + "/bin/wine");
  EXPECT_EQ(env["WINESERVER"], runner + "/bin/wineserver");
  EXPECT_EQ(env["WINEDLLPATH"], runner + "/lib64/wine");
  EXPECT_TRUE(env["LD_LIBRARY_PATH"].starts_with(runner + "/lib64"));
  EXPECT_EQ(std::count_if(found.prefixes.begin(), found.prefixes.end(),
                          [&](const FoundPrefix& p) { return p.path == bottle; }),
            1);
}

TEST_F(WinePrefixesTest, EveryFrontEndsPrefixesOnceWithTheirWine) {
  const PrefixSearch found = FindWinePrefixes(home.Path(), other / "env-prefix");
  const std::string h = home.Path();
  std::vector<std::string> got;
  for (const FoundPrefix& p : found.prefixes) {
    std::string wine = p.wine.known ? p.wine.program : "unknown";
    if (wine.starts_with(h)) wine = "~" + wine.substr(h.size());
    got.push_back(p.name + " | " + p.source + " | " + p.arch + " | " + wine);
  }
  const std::vector<std::string> expected = {
      (other / "env-prefix") + " | WINEPREFIX | win64 | wine",
      "~/.wine | Wine | win64 | wine",
      "~/.wine32 | Wine | win32 | wine",
      "Half-Life 2 | Steam | win64 | ~/.local/share/Steam/steamapps/common/Proton "
      "8.0/files/bin/wine",
      "Portal | Steam | win64 | unknown",
      "Steam app 730 | Steam | win64 | unknown",
      "Tetris | Steam | win64 | unknown",
      "Non-Steam shortcut 2876543210 | Steam | win64 | unknown",
      "Solitaire | Lutris | win64 | wine",
      "Puzzle | Heroic | win64 | unknown",
      "Steam app 570 | Steam (Flatpak) | win64 | unknown",
      "My Games | Bottles | win64 | wine",
      "Office 2010 | Bottles | win32 | ~/.local/share/bottles/runners/soda-7.0-9/bin/wine",
      "Broken | Bottles | win64 | unknown",
      "Paint | Bottles (Flatpak) | win64 | unknown",
      "The Witcher 3 | Lutris | win64 | "
      "~/.local/share/lutris/runners/wine/lutris-7.2-2-x86_64/bin/wine",
      "Some Game | Heroic | win64 | ~/wine-ge/bin/wine",
      "Orphan | Heroic | win64 | unknown",
      "Notepad | PlayOnLinux | win32 | unknown",
  };
  std::vector<std::string> sortedGot = got, sortedExpected = expected;
  std::sort(sortedGot.begin(), sortedGot.end());
  std::sort(sortedExpected.begin(), sortedExpected.end());
  EXPECT_EQ(sortedGot, sortedExpected);
  // Why a Wine is unknown is said; the broken files and the missing library are noted.
  for (const FoundPrefix& p : found.prefixes) EXPECT_EQ(p.wine.known, p.wine.why.empty()) << p.name;
  const auto noted = [&](const std::string& part) {
    return std::any_of(found.notes.begin(), found.notes.end(),
                       [&](const std::string& n) { return n.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(noted("Broken/bottle.yml"));
  EXPECT_TRUE(noted(other / "gone"));
  EXPECT_TRUE(noted("com.valvesoftware.Steam"));
}

// Who uses each prefix, whether it is still there, and what removing the prefix would move.
TEST_F(WinePrefixesTest, EachPrefixHasItsOwnerAndWhetherItIsStillThere) {
  const PrefixSearch found = FindWinePrefixes(home.Path(), "");
  const std::string steam = home / ".local/share/Steam/steamapps/compatdata/";
  struct Expected {
    std::string owner;
    OwnerState state;
    std::string folder;
  };
  const std::map<std::string, Expected> expected = {
      {"~/.wine", {"", OwnerState::None, home / ".wine"}},
      {"Half-Life 2", {"Half-Life 2", OwnerState::Present, steam + "220"}},
      // A library listed is not there (a disk that is not mounted): the game may be in it.
      {"Steam app 730",
       {"Steam app 730", OwnerState::Unknown, other / "lib2/steamapps/compatdata/730"}},
      {"Tetris", {"Tetris", OwnerState::Present, steam + "3456789012"}},
      {"Non-Steam shortcut 2876543210",
       {"Non-Steam shortcut 2876543210", OwnerState::Removed, steam + "2876543210"}},
      {"Office 2010",
       {"Office 2010", OwnerState::Present, home / ".local/share/bottles/bottles/Office"}},
      {"The Witcher 3", {"The Witcher 3", OwnerState::Removed, home / "Games/witcher-3"}},
      {"Solitaire", {"Solitaire", OwnerState::Present, home / "Games/solitaire"}},
      {"Puzzle",
       {"Puzzle Quest", OwnerState::Present, home / "Games/Heroic/Prefixes/default/Puzzle"}},
      {"Some Game",
       {"Fortnite", OwnerState::Removed, home / "Games/Heroic/Prefixes/default/Some Game"}},
      {"Notepad", {"Notepad", OwnerState::Present, home / ".PlayOnLinux/wineprefix/Notepad"}},
  };
  std::size_t checked = 0;
  for (const FoundPrefix& p : found.prefixes) {
    const auto it = expected.find(p.name);
    if (it == expected.end()) continue;
    ++checked;
    EXPECT_EQ(p.owner, it->second.owner) << p.name;
    EXPECT_EQ(OwnerStateName(p.ownerState), std::string(OwnerStateName(it->second.state)))
        << p.name;
    EXPECT_EQ(p.folder, it->second.folder) << p.name;
  }
  EXPECT_EQ(checked, expected.size());
  // Every library there and read: the game without a manifest is removed. A shortcut list
  // that cannot be read leaves the shortcuts' games unknown; so does a Heroic list.
  const std::string lists = home / ".local/share/Steam/steamapps/libraryfolders.vdf";
  File(lists, "\"libraryfolders\" { \"1\" { \"path\" \"" + (other / "lib2") + "\" } }");
  File(home / ".local/share/Steam/userdata/99/config/shortcuts.vdf", "\x00broken");
  File(home / ".config/heroic/gog_store/installed.json", "{\"installed\": [");
  const std::map<std::string, OwnerState> after = {
      {"Steam app 730", OwnerState::Removed},
      {"Non-Steam shortcut 2876543210", OwnerState::Unknown},
      {"Tetris", OwnerState::Present},
      {"Some Game", OwnerState::Unknown},
      {"Puzzle", OwnerState::Present},
  };
  checked = 0;
  for (const FoundPrefix& p : FindWinePrefixes(home.Path(), "").prefixes) {
    const auto it = after.find(p.name);
    if (it == after.end()) continue;
    ++checked;
    EXPECT_EQ(OwnerStateName(p.ownerState), std::string(OwnerStateName(it->second))) << p.name;
  }
  EXPECT_EQ(checked, after.size());
}

// Links where users have them: each prefix is listed once, at the folder it is, and a Steam
// game's folder or pfx that is a link is not taken for that game's prefix.
TEST_F(WinePrefixesTest, LinksLeadToThePrefixTheyReachListedOnceAtItsOwnFolder) {
  const std::string h = home.Path();
  Prefix(h + "/.wine-b");
  ASSERT_EQ(::symlink((h + "/.wine-b").c_str(), (h + "/.wine-a").c_str()), 0);
  const std::string steam = h + "/.local/share/Steam/steamapps/compatdata";
  test::MakeDirs(steam + "/8");
  ASSERT_EQ(::symlink((h + "/.wine").c_str(), (steam + "/8/pfx").c_str()), 0);
  // compatdata/111 leads to another library's installed game 222.
  File(other / "lib2/steamapps/appmanifest_222.acf",
       "\"AppState\" { \"appid\" \"222\" \"name\" \"Portal 2\" }");
  Prefix(other / "lib2/steamapps/compatdata/222/pfx");
  ASSERT_EQ(::symlink((other / "lib2/steamapps/compatdata/222").c_str(), (steam + "/111").c_str()),
            0);
  const PrefixSearch found = FindWinePrefixes(h, "");
  const auto named = [&](const std::string& name) {
    return std::count_if(found.prefixes.begin(), found.prefixes.end(),
                         [&](const FoundPrefix& p) { return p.name == name; });
  };
  const auto at = [&](const std::string& path) -> const FoundPrefix* {
    for (const FoundPrefix& p : found.prefixes)
      if (p.path == path) return &p;
    return nullptr;
  };
  EXPECT_EQ(named("~/.wine-b"), 1);
  EXPECT_EQ(named("~/.wine-a"), 0);
  ASSERT_NE(at(h + "/.wine"), nullptr);
  EXPECT_EQ(at(h + "/.wine")->source, "Wine");
  EXPECT_EQ(named("Steam app 8"), 0);
  EXPECT_EQ(named("Steam app 111"), 0);
  const FoundPrefix* portal = at(other / "lib2/steamapps/compatdata/222/pfx");
  ASSERT_NE(portal, nullptr);
  EXPECT_EQ(portal->name, "Portal 2");
  EXPECT_EQ(portal->folder, other / "lib2/steamapps/compatdata/222");
  // Half-Life 2 was found through ~/.steam/steam: it is listed at its own folder.
  ASSERT_NE(at(h + "/.local/share/Steam/steamapps/compatdata/220/pfx"), nullptr);
  // Every path is the folder itself.
  for (const FoundPrefix& p : found.prefixes) {
    EXPECT_EQ(p.path, std::filesystem::canonical(p.path).string()) << p.name;
    EXPECT_EQ(p.folder, std::filesystem::canonical(p.folder).string()) << p.name;
  }
}

// Heroic's list of a store's games is read once, whatever its size: two megabytes of games
// without titles, with "app_name" in every one.
TEST_F(WinePrefixesTest, LargeHeroicListsAreReadInOnePass) {
  std::string list = "{";
  for (int i = 0; list.size() < (2u << 20); ++i)
    list += (i ? "," : "") + std::string("\"Game") + std::to_string(i) +
            "\": {\"app_name\": \"Game" + std::to_string(i) + "\", \"install_path\": \"/g\"}";
  list += ", \"Puzzle\": {\"app_name\": \"Puzzle\", \"title\": \"Puzzle Quest\"}}";
  File(home / ".config/heroic/legendaryConfig/legendary/installed.json", list);
  const PrefixSearch found = FindWinePrefixes(home.Path(), "");
  const auto puzzle = std::find_if(found.prefixes.begin(), found.prefixes.end(),
                                   [](const FoundPrefix& p) { return p.name == "Puzzle"; });
  ASSERT_NE(puzzle, found.prefixes.end());
  EXPECT_EQ(puzzle->owner, "Puzzle Quest");
  EXPECT_EQ(puzzle->ownerState, OwnerState::Present);
}

// A game Heroic runs with Proton keeps its prefix in the pfx folder Proton makes; Steam's own
// compatdata/0 is Steam's, there for as long as Steam is.
TEST_F(WinePrefixesTest, HeroicsProtonGamesAndSteamsOwnPrefix) {
  const std::string h = home.Path();
  const std::string game = h + "/Games/Heroic/Prefixes/default/Elden";
  Prefix(game + "/pfx");
  File(game + "/version", "GE-Proton8-25");
  File(h + "/.config/heroic/GamesConfig/Elden.json",
       "{\"Elden\": {\"winePrefix\": \"" + game + "\", \"wineVersion\": {\"bin\": \"" + h +
           "/proton/GE-Proton8-25/proton\", \"type\": \"proton\"}}}");
  Prefix(h + "/.local/share/Steam/steamapps/compatdata/0/pfx");
  const PrefixSearch found = FindWinePrefixes(h, "");
  const auto named = [&](const std::string& name) -> const FoundPrefix* {
    for (const FoundPrefix& p : found.prefixes)
      if (p.name == name) return &p;
    return nullptr;
  };
  const FoundPrefix* elden = named("Elden");
  ASSERT_NE(elden, nullptr);
  EXPECT_EQ(elden->path, game + "/pfx");
  EXPECT_EQ(elden->folder, game);
  EXPECT_EQ(elden->owner, "Elden");
  EXPECT_EQ(elden->ownerState, OwnerState::Removed);  // Heroic's list does not hold it
  EXPECT_EQ(std::count_if(found.prefixes.begin(), found.prefixes.end(),
                          [&](const FoundPrefix& p) { return p.path.starts_with(game); }),
            1);
  const FoundPrefix* steam = named("Steam (shader pre-caching)");
  ASSERT_NE(steam, nullptr);
  EXPECT_EQ(steam->ownerState, OwnerState::Present);
  EXPECT_EQ(named("Steam app 0"), nullptr);
}

// Bottles kept outside Bottles' own folder: in the folder its settings name, and a bottle whose
// settings give it a folder of its own on another disk; for the Flatpak Bottles too.
TEST_F(WinePrefixesTest, BottlesInTheirCustomFolders) {
  const std::string h = home.Path();
  const std::string flatpak = h + "/.var/app/com.usebottles.bottles/data/bottles";
  for (const std::string& root : {h + "/.local/share/bottles", flatpak}) {
    const std::string custom = other / (root == flatpak ? "flat-bottles" : "my-bottles");
    File(root + "/data.yml", "# Bottles' settings\ncustom_bottles_path: '" + custom +
                                 "'\nwindow: {width: 800, height: 600}\n");
    Prefix(custom + "/Games2");
    File(custom + "/Games2/bottle.yml", "Name: \"Games \\\"two\\\"\"\nRunner: sys-wine-9.0\n");
  }
  // A bottle's own folder on another "disk": its bottle.yml stays in Bottles' folder.
  const std::string disk = other / "run/media/ann/SD/Office365";
  Prefix(disk);
  File(h + "/.local/share/bottles/bottles/Office365/bottle.yml",
       "Name: Office 365\nCustom_Path: true\nPath: " + disk + "\nRunner: sys-wine-9.0\n");
  const PrefixSearch found = FindWinePrefixes(h, "");
  std::map<std::string, std::string> paths;
  for (const FoundPrefix& p : found.prefixes) paths[p.name + " | " + p.source] = p.path;
  EXPECT_EQ(paths["Games \"two\" | Bottles"], other / "my-bottles/Games2");
  EXPECT_EQ(paths["Games \"two\" | Bottles (Flatpak)"], other / "flat-bottles/Games2");
  EXPECT_EQ(paths["Office 365 | Bottles"], disk);
}

TEST(FrontEndFiles, YamlIsReadAsYamlAndDeepNestingRefused) {
  const std::vector<YamlPath> paths = {{"game", "prefix"}, {"game", "exe"}, {"wine", "version"}};
  const struct {
    const char* what;
    std::string text;
    std::optional<std::vector<std::optional<std::string>>> expected;
  } cases[] = {
      {"block style with comments",
       "# a game\ngame:\n  exe: drive_c/x.exe  # the program\n  prefix: '~/Games/x'\nwine:\n"
       "  version: lutris-7.2\n",
       std::vector<std::optional<std::string>>{"~/Games/x", "drive_c/x.exe", "lutris-7.2"}},
      {"flow style and a quoted colon", "game: {prefix: \"/g/a: b\", exe: null}\nwine: {}\n",
       std::vector<std::optional<std::string>>{"/g/a: b", std::nullopt, std::nullopt}},
      {"a list where a scalar should be", "game:\n  prefix: [a, b]\n",
       std::vector<std::optional<std::string>>{std::nullopt, std::nullopt, std::nullopt}},
      {"not YAML", "game: [unclosed\n", std::nullopt},
      {"nested past the bound", std::string(200, '[') + std::string(200, ']'), std::nullopt},
      {"indented past the bound",
       [] {
         std::string s;
         for (int i = 0; i < 200; ++i) s += std::string(static_cast<std::size_t>(i), ' ') + "k:\n";
         return s;
       }(),
       std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadYamlScalars(c.text, paths), c.expected) << c.what;
}

// A home reached through a link (/home leading to /var/home): prefixes keep their short names.
TEST(WinePrefixes, AHomeThroughALinkNamesItsPrefixesAsUsual) {
  test::TempDir dir;
  Prefix(dir / "var/home/ann/.wine");
  test::MakeDirs(dir / "home");
  ASSERT_EQ(::symlink((dir / "var/home/ann").c_str(), (dir / "home/ann").c_str()), 0);
  const PrefixSearch found = FindWinePrefixes(dir / "home/ann", "");
  ASSERT_EQ(found.prefixes.size(), 1u);
  EXPECT_EQ(found.prefixes[0].name, "~/.wine");
  EXPECT_EQ(found.prefixes[0].path, dir / "var/home/ann/.wine");
}

TEST(FrontEndFiles, SteamShortcutsAreReadAndBrokenListsRefused) {
  const std::string good = ShortcutsVdf({{3456789012u, "Tetris"}, {2000000000u, "Doom"}});
  const auto read = ReadSteamShortcuts(good);
  ASSERT_TRUE(read.has_value());
  ASSERT_EQ(read->size(), 2u);
  EXPECT_EQ((*read)[0].appid, 3456789012u);
  EXPECT_EQ((*read)[0].name, "Tetris");
  EXPECT_EQ((*read)[1].name, "Doom");
  // Cut anywhere inside, or with an unknown type byte, it is refused; deep nesting too.
  for (std::size_t cut : {std::size_t{5}, std::size_t{20}, good.size() - 3})
    EXPECT_FALSE(ReadSteamShortcuts(good.substr(0, cut)).has_value()) << cut;
  std::string unknownType = good;
  unknownType[std::string("\0shortcuts\0\0"
                          "0\0",
                          14)
                  .size()] = '\x09';
  EXPECT_FALSE(ReadSteamShortcuts(unknownType).has_value());
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += std::string("\0a\0", 3);
  EXPECT_FALSE(ReadSteamShortcuts(deep).has_value());
  // Only 9 or 10-digit numbers that fit 32 bits name a shortcut's folder.
  EXPECT_EQ(SteamShortcutId("3456789012"), 3456789012u);
  for (const char* name : {"220", "12345678", "4294967296", "99999999999", "34567890x2", ""})
    EXPECT_FALSE(SteamShortcutId(name).has_value()) << name;
}

TEST(WinePrefixes, TheArchitectureIsReadFromAWineFileOnly) {
  test::TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n", "win32"},
      {"WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n", "win64"},
      {"WINE REGISTRY Version 2\n", "win64"},  // Wine's own default
      {"REGEDIT4\n\n#arch=win32\n", "unknown"},
      {std::string("\x7f"
                   "ELF\x02\x01",
                   6),
       "unknown"},
      {"", "unknown"},
  };
  for (const auto& [text, arch] : cases) {
    test::WriteFile(dir / "system.reg", text);
    EXPECT_EQ(PrefixArch(dir.Path()), arch) << text;
  }
}

TEST_F(WinePrefixesTest, AnEmptyHomeHasNoPrefixes) {
  test::TempDir empty;
  const PrefixSearch found = FindWinePrefixes(empty.Path(), "");
  EXPECT_TRUE(found.prefixes.empty());
  EXPECT_TRUE(found.notes.empty());
}

// A front end's file inside a prefix names its Wine; a program in the prefix can write that
// file. A name that climbs out of the front end's runners folder, or a runner that links out
// of it, gives no usable Wine: nothing may run in the prefix, and the reason is said.
TEST_F(WinePrefixesTest, AWineNamedOutsideItsFrontEndsFoldersIsNotRun) {
  const std::string h = home.Path();
  const std::string bottles = h + "/.local/share/bottles";
  // A "wine" inside the bottles' own C: drives, where a Windows program can put one.
  for (const char* bottle : {"Evil", "Dotted", "Linked"}) {
    Prefix(bottles + "/bottles/" + bottle);
    File(bottles + "/bottles/" + bottle + "/drive_c/evil/bin/wine", "#!/bin/sh\n");
  }
  File(bottles + "/bottles/Evil/bottle.yml", "Name: Evil\nRunner: ../bottles/Evil/drive_c/evil\n");
  File(bottles + "/bottles/Dotted/bottle.yml", "Name: Dotted\nRunner: ..\n");
  File(bottles + "/bottles/Linked/bottle.yml", "Name: Linked\nRunner: linked\n");
  ASSERT_EQ(::symlink((bottles + "/bottles/Linked/drive_c/evil").c_str(),
                      (bottles + "/runners/linked").c_str()),
            0);
  File(h + "/.config/lutris/games/bad-1.yml",
       "game:\n  prefix: ~/Games/bad\nwine:\n  version: ../../../../../Games/bad/drive_c/evil\n");
  Prefix(h + "/Games/bad");
  File(h + "/Games/bad/drive_c/evil/bin/wine", "");
  const std::string pol = h + "/.PlayOnLinux/wineprefix";
  Prefix(pol + "/BadVersion");
  File(pol + "/BadVersion/playonlinux.cfg",
       "ARCH=x86\nVERSION=../../../wineprefix/BadVersion/drive_c\n");
  File(pol + "/BadVersion/drive_c/bin/wine", "");
  Prefix(pol + "/BadArch");
  File(pol + "/BadArch/playonlinux.cfg", "ARCH=../../wineprefix/BadArch\nVERSION=drive_c\n");
  File(pol + "/BadArch/drive_c/bin/wine", "");
  const std::string steam = h + "/.local/share/Steam";
  Prefix(steam + "/steamapps/compatdata/999/pfx");
  File(steam + "/steamapps/compatdata/999/config_info",
       "x\n" + steam + "/steamapps/compatdata/999/pfx/drive_c/files/share/fonts/\n");
  File(steam + "/steamapps/compatdata/999/pfx/drive_c/files/bin/wine", "");

  const PrefixSearch found = FindWinePrefixes(h, "");
  for (const char* name :
       {"Evil", "Dotted", "Linked", "Bad", "BadVersion", "BadArch", "Steam app 999"}) {
    const auto it = std::find_if(found.prefixes.begin(), found.prefixes.end(),
                                 [&](const FoundPrefix& p) { return p.name == name; });
    ASSERT_NE(it, found.prefixes.end()) << name;
    EXPECT_FALSE(it->wine.known) << name << " runs " << it->wine.program;
    // Nothing runs there, and the runner says why in every language.
    WineProcessRunner runner(it->path, it->wine);
    const RunOutcome outcome = runner.RunAndWait("C:\\x.exe", [] { return false; });
    EXPECT_EQ(outcome.kind, RunOutcome::Kind::RunnerFailed) << name;
    for (std::size_t i = 0; i < kLanguageCount; ++i) {
      const std::string& why = it->wine.why.texts[i];
      const std::string& said = outcome.message.texts[i];
      EXPECT_FALSE(why.empty()) << name << " in language " << i;
      EXPECT_NE(said.find(why), std::string::npos) << said;
    }
  }
  // The well-behaved ones still run with their own Wine.
  for (const char* name : {"Office 2010", "The Witcher 3", "Half-Life 2"}) {
    const auto it = std::find_if(found.prefixes.begin(), found.prefixes.end(),
                                 [&](const FoundPrefix& p) { return p.name == name; });
    ASSERT_NE(it, found.prefixes.end()) << name;
    EXPECT_TRUE(it->wine.known) << name << ": " << it->wine.why.English();
  }
}

// A prefix opened for a list: its front end's Wine and name are looked for in the home when the
// runner first needs them, not when it is opened (a bottle made in between is found), and an
// untrusted Wine found then still runs nothing.
TEST_F(WinePrefixesTest, APrefixsFrontEndIsLookedForWhenFirstNeeded) {
  const std::string bottles = home / ".local/share/bottles/bottles";
  const std::string later = bottles + "/Later", evil = bottles + "/Evil";
  const auto laterLookup = std::make_shared<PrefixLookup>(later, home.Path(), "");
  const auto evilLookup = std::make_shared<PrefixLookup>(evil, home.Path(), "");
  const auto plainLookup = std::make_shared<PrefixLookup>(other / "env-prefix", home.Path(), "");
  Prefix(later);
  File(later + "/bottle.yml", "Name: Later Bottle\nRunner: soda-7.0-9\n");
  Prefix(evil);
  File(evil + "/drive_c/evil/bin/wine", "");
  File(evil + "/bottle.yml", "Name: Evil\nRunner: ../bottles/Evil/drive_c/evil\n");

  EXPECT_EQ(laterLookup->Get().name, "Later Bottle");
  EXPECT_TRUE(laterLookup->Get().wine.program.ends_with("/runners/soda-7.0-9/bin/wine"));
  EXPECT_EQ(plainLookup->Get().wine.program, "wine");  // kept by no front end: the system's
  EXPECT_EQ(plainLookup->Get().name, ShortPath(other / "env-prefix", home.Path()));
  WineProcessRunner runner(evil, evilLookup);
  EXPECT_FALSE(runner.WhyNothingRuns(Language::English).empty());
  EXPECT_EQ(runner.RunAndWait("C:\\x.exe", [] { return false; }).kind,
            RunOutcome::Kind::RunnerFailed);
}

// Each value as its path of keys joined by '/', or nothing for a text that is not one.
std::vector<std::pair<std::string, std::string>> KeyValues(const std::string& text, bool& ok) {
  std::vector<std::pair<std::string, std::string>> out;
  ok = ReadKeyValues(text, [&](const std::vector<std::string>& path, const std::string& key,
                               const std::string& value) {
    std::string joined;
    for (const auto& part : path) joined += part + "/";
    out.emplace_back(joined + key, value);
  });
  if (!ok) out.clear();
  return out;
}

TEST(FrontEndFiles, JsonStringsAreDecodedWhole) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {R"({"k": "plain"})", "plain"},
      {R"({"k": "a\"b\\c\/d\n"})", "a\"b\\c/d\n"},
      {R"({"k": "\u0047\u00f3\u20ac"})", "G\xc3\xb3\xe2\x82\xac"},
      {R"({"k": "\uD83D\uDE00!"})", "\xf0\x9f\x98\x80!"},  // one character, not two halves
      {R"({"k": "\uD83Dx"})", std::nullopt},               // a lone half: not JSON
      {R"({"k": "\uDE00\uD83D"})", std::nullopt},
      {R"({"a": {"k": "nested"}, "k": "outer"})", "nested"},  // the first in the text
      {R"({"k": ["in an array"], "x": {"k": "member"}})", "member"},
      {R"({"other": "x", "k" : "second"})", "second"},
      {R"({"k": "cut)", std::nullopt},
      {R"({"k": 5})", std::nullopt},
      {R"({"k")", std::nullopt},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(JsonStringValue(text, "k"), value) << text;
}

TEST(KeyValues, ReadsValvesFilesAndRefusesBrokenOnes) {
  bool ok = false;
  const auto values =
      KeyValues("// comment\n\"a\" { \"b\" \"1\" \"c\" { \"d\" \"x \\\"y\\\"\" } }", ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(values,
            (std::vector<std::pair<std::string, std::string>>{{"a/b", "1"}, {"a/c/d", "x \"y\""}}));
  std::string deepest;
  for (std::size_t i = 0; i < kMaxKeyValueDepth; ++i) deepest += "\"k\" { ";
  deepest += "\"v\" \"1\" ";
  for (std::size_t i = 0; i < kMaxKeyValueDepth; ++i) deepest += "} ";
  EXPECT_EQ(KeyValues(deepest, ok).size(), 1u);
  EXPECT_TRUE(ok);
  for (const std::string& broken :
       std::vector<std::string>{"\"a\" {", "\"a\" }", "{", "\"a\" \"b", "a b", "\"a\" { \"b\" }",
                                "\"k\" { " + deepest + "}"}) {
    EXPECT_TRUE(KeyValues(broken, ok).empty()) << broken;
    EXPECT_FALSE(ok) << broken;
  }
}

// Half a megabyte of nested blocks, each with a value, in the library list every command
// reads: read (and refused) in proportion to its size, not to its size times its depth.
TEST_F(WinePrefixesTest, DeeplyNestedSteamFilesAreRefusedCheaply) {
  std::string nested = "\"libraryfolders\" { ";
  while (nested.size() < 480 * 1024) nested += "\"0\" { \"path\" \"/x\" ";
  const std::string steam = home / ".local/share/Steam";
  File(steam + "/steamapps/libraryfolders.vdf", nested);
  File(steam + "/steamapps/appmanifest_220.acf", "\"AppState\" { " + nested);
  const PrefixSearch found = FindWinePrefixes(home.Path(), "");
  const auto noted = [&](const std::string& part) {
    return std::any_of(found.notes.begin(), found.notes.end(),
                       [&](const std::string& n) { return n.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(noted("libraryfolders.vdf"));
  EXPECT_TRUE(noted("appmanifest_220.acf"));
  // Steam's own library is still searched.
  EXPECT_TRUE(std::any_of(found.prefixes.begin(), found.prefixes.end(),
                          [](const FoundPrefix& p) { return p.name == "Steam app 220"; }));
}

}  // namespace
}  // namespace pgl
