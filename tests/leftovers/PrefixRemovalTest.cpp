// Removing whole prefixes: what is refused, the saves kept first, the prefix's menu entries
// going with it, and nothing else moved.
#include "leftovers/PrefixRemoval.h"
#include "leftovers/RegistrySaves.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "TestSupport.h"
#include "platform/wine/PrefixUsage.h"
#include "platform/wine/WinePrefixes.h"
#include "util/Utf.h"

namespace pgl {
namespace {

namespace fs = std::filesystem;

void File(const std::string& path, const std::string& bytes) {
  test::MakeDirs(fs::path(path).parent_path().string());
  test::WriteFile(path, bytes);
}

void Prefix(const std::string& dir) {
  File(dir + "/system.reg", "WINE REGISTRY Version 2\n");
}

bool No() {
  return false;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// What tar lists of an archive.
std::string TarList(const std::string& archive) {
  std::string listed;
  if (std::FILE* pipe = ::popen(("tar -tf '" + archive + "'").c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) listed += buffer;
    ::pclose(pipe);
  }
  return listed;
}

class PrefixRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = dir / "home";
    test::MakeDirs(home + "/Desktop");
    const char* old = std::getenv("HOME");
    oldHome = old ? old : "";
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    xdg = UserXdgFolders();
    // A removed Steam game's Proton prefix with a save, and a prefix of the user's beside it.
    compat = home + "/.local/share/Steam/steamapps/compatdata/730";
    Prefix(compat + "/pfx");
    File(compat + "/version", "8.0");
    File(compat + "/pfx/drive_c/users/steamuser/Saved Games/Game/slot1.sav", "save");
    Prefix(home + "/.wine");
    game = {"Steam app 730", compat + "/pfx",    "Steam", "win64", compat,
            "Steam app 730", OwnerState::Removed};
    plain = {"~/.wine", home + "/.wine", "Wine", "win64", home + "/.wine", "", OwnerState::None};
    known = {game, plain};
    options.savesTo = dir / "saves";
    // Wine's menu entry for a program of each prefix.
    const auto entry = [&](const std::string& file, const std::string& prefix) {
      File(file, "[Desktop Entry]\nExec=env WINEPREFIX=\"" + prefix +
                     "\" wine C:\\\\\\\\x.lnk\nIcon=AB12_x.0\n");
    };
    entry(home + "/.local/share/applications/wine/Programs/Game.desktop", compat + "/pfx");
    entry(home + "/.local/share/applications/wine/Programs/Notes.desktop", home + "/.wine");
  }
  void TearDown() override { ::setenv("HOME", oldHome.c_str(), 1); }

  test::TempDir dir;
  std::string home, oldHome, compat;
  XdgFolders xdg;
  KnownSystem game, plain;
  std::vector<KnownSystem> known;
  PrefixRemovalOptions options;
};

TEST_F(PrefixRemovalTest, TheSavesAreKeptThenTheGamesFolderAndItsMenuEntryGo) {
  // A save written after the question (here: after the prefix was found) is archived too.
  File(compat + "/pfx/drive_c/users/steamuser/AppData/Roaming/Game/late.cfg", "late");
  const PrefixRemoval r = RemovePrefix(game, known, No, options, xdg);
  ASSERT_EQ(PrefixOutcomeName(r.outcome), std::string("removed")) << r.why;
  EXPECT_EQ(TarList(r.archive.file),
            "Steam app 730/drive_c/users/steamuser/AppData/Roaming/Game/late.cfg\n"
            "Steam app 730/drive_c/users/steamuser/Saved Games/Game/slot1.sav\n");
  // The whole compatdata folder is in the trash; the other prefix and its entry stay.
  EXPECT_FALSE(Exists(compat));
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/files/730/pfx/system.reg"));
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/info/730.trashinfo"));
  EXPECT_FALSE(Exists(home + "/.local/share/applications/wine/Programs/Game.desktop"));
  EXPECT_EQ(r.desktopItems, 1u);
  EXPECT_TRUE(Exists(home + "/.local/share/applications/wine/Programs/Notes.desktop"));
  EXPECT_TRUE(Exists(home + "/.wine/system.reg"));
}

// The game's shader cache goes to the trash with its prefix; a cache that is a link, another
// game's or one in another library stays (the prefix goes all the same), and so does Steam's
// own and every other game's.
TEST_F(PrefixRemovalTest, TheGamesShaderCacheGoesWithItsPrefixAndNothingElse) {
  const std::string caches = home + "/.local/share/Steam/steamapps/shadercache/";
  File(caches + "730/fozpipelinesv6/a.foz", std::string(4096, 'a'));
  File(caches + "0/steam.foz", "steam");
  File(caches + "440/b.foz", "other game");
  File(dir / "elsewhere/c.foz", "not Steam's");
  const struct {
    std::string cache;
    bool removed;
    const char* why;
  } cases[] = {
      {caches + "730", true, ""},
      {caches + "440", false, "is not the shader cache of this game (730)"},
      {caches + "0", false, "is not the shader cache of this game (730)"},
      {dir / "link/730", false, "is a link"},
  };
  test::MakeDirs(dir / "link");
  ::symlink((dir / "elsewhere").c_str(), (dir / "link/730").c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cache);
    Prefix(compat + "/pfx");
    KnownSystem withCache = game;
    withCache.shaderCache = c.cache;
    const PrefixRemoval r = RemovePrefix(withCache, {withCache, plain}, No, options, xdg);
    ASSERT_EQ(PrefixOutcomeName(r.outcome), std::string("removed")) << r.why;
    EXPECT_FALSE(Exists(compat));
    EXPECT_EQ(r.shaderCacheRemoved, c.removed);
    EXPECT_NE(r.shaderCacheWhy.find(c.why), std::string::npos) << r.shaderCacheWhy;
    EXPECT_EQ(Exists(c.cache), !c.removed);
  }
  // The cache is in the trash under its own name, from where it can be put back.
  int cachesInTrash = 0;
  for (const auto& info : fs::directory_iterator(home + "/.local/share/Trash/info"))
    if (test::ReadFile(info.path().string()).find("shadercache/730\n") != std::string::npos)
      ++cachesInTrash;
  EXPECT_EQ(cachesInTrash, 1);
  for (const std::string& stays : {caches + "0/steam.foz", caches + "440/b.foz",
                                   (dir / "elsewhere/c.foz"), home + "/.wine/system.reg"})
    EXPECT_TRUE(Exists(stays)) << stays;
}

// Saves kept in the registry: the archive holds registry.reg with the prefix's own keys under
// HKCU\Software, whole; Wine's, Microsoft's and the file types stay out.
TEST_F(PrefixRemovalTest, TheArchiveHoldsTheGamesOwnRegistryKeys) {
  File(compat + "/pfx/user.reg",
       "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
       "#arch=win64\n\n"
       "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1700000000\n"
       "\"x\"=\"y\"\n\n"
       "[Software\\\\Wine\\\\Fonts] 1700000000\n\"f\"=\"g\"\n\n"
       "[Software\\\\Classes\\\\.sav] 1700000000\n@=\"savfile\"\n\n"
       "[Software\\\\Studio\\\\Game\\\\Slots] 1700000000\n"
       "\"Slot1\"=\"Level 3, 40 coins\"\n\"Coins\"=dword:00000028\n"
       "\"Blob\"=hex:01,02,ff\n\"Names\"=hex(7):41,00,00,00,42,00,00,00,00,00\n");
  // Counted among the saves before: a save "folder" named by its key.
  const auto usage = MeasureWithRegistrySaves(game);
  ASSERT_TRUE(usage);
  const auto studio = std::find_if(
      usage->saveFolders.begin(), usage->saveFolders.end(),
      [](const SaveFolder& f) { return f.path == "HKEY_CURRENT_USER\\Software\\Studio"; });
  ASSERT_NE(studio, usage->saveFolders.end());
  EXPECT_GT(studio->bytes, 100u);
  EXPECT_EQ(usage->saveFolders.size(), 2u);  // the file save and the key
  EXPECT_EQ(usage->savesBytes, MeasureKnownSystem(game)->savesBytes + studio->bytes);
  const PrefixRemoval r = RemovePrefix(game, known, No, options, xdg);
  ASSERT_EQ(PrefixOutcomeName(r.outcome), std::string("removed")) << r.why;
  EXPECT_NE(TarList(r.archive.file).find("Steam app 730/registry.reg\n"), std::string::npos)
      << TarList(r.archive.file);
  // A multi-string has no REGEDIT4 form: the exporter writes the Unicode script (UTF-16), which
  // the registry editor imports exactly.
  std::string bytes;
  if (std::FILE* pipe = ::popen(
          ("tar -xOf '" + r.archive.file + "' 'Steam app 730/registry.reg'").c_str(), "r")) {
    char buffer[512];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      bytes.append(buffer, got);
    ::pclose(pipe);
  }
  ASSERT_TRUE(bytes.starts_with("\xff\xfe")) << bytes;
  std::u16string units(bytes.size() / 2 - 1, u'\0');
  std::memcpy(units.data(), bytes.data() + 2, units.size() * 2);
  const std::string script = Utf16ToUtf8(units);
  for (const char* line :
       {"Windows Registry Editor Version 5.00",
        "[HKEY_CURRENT_USER\\Software\\Studio\\Game\\Slots]", "\"Slot1\"=\"Level 3, 40 coins\"",
        "\"Coins\"=dword:00000028", "\"Blob\"=hex:01,02,ff",
        "\"Names\"=hex(7):41,00,00,00,42,00,00,00,00,00"})
    EXPECT_NE(script.find(line), std::string::npos) << line << "\n" << script;
  for (const char* out : {"Microsoft", "Wine", "Classes"})
    EXPECT_EQ(script.find(out), std::string::npos) << out << "\n" << script;
}

TEST_F(PrefixRemovalTest, WhatIsRefusedMovesNothing) {
  // The home made a prefix, a prefix that is a link, a folder named like a Proton game's
  // outside compatdata, one that holds another prefix.
  Prefix(home);
  const KnownSystem homePrefix{"home", home, "Wine", "win64", home, "", OwnerState::None};
  ASSERT_EQ(::symlink((home + "/.wine").c_str(), (dir / "linked").c_str()), 0);
  const KnownSystem linked{"linked", dir / "linked",  "Wine", "win64", dir / "linked",
                           "",       OwnerState::None};
  Prefix(dir / "games/123/pfx");
  const KnownSystem notCompat{"x", dir / "games/123/pfx", "Steam", "win64", dir / "games/123",
                              "x", OwnerState::Removed};
  Prefix(dir / "outer");
  Prefix(dir / "outer/inner");
  const KnownSystem outer{"outer", dir / "outer",   "Wine", "win64", dir / "outer",
                          "",      OwnerState::None};
  const KnownSystem inner{"inner", dir / "outer/inner", "Wine", "win64", dir / "outer/inner",
                          "",      OwnerState::None};
  std::vector<KnownSystem> all = {game, plain, homePrefix, linked, notCompat, outer, inner};
  PrefixRemovalOptions insideSaves = options;
  insideSaves.savesTo = compat + "/pfx/drive_c/saves";
  PrefixRemovalOptions fileAsFolder = options;
  File(dir / "a-file", "x");
  fileAsFolder.savesTo = dir / "a-file/saves";
  const struct {
    const char* name;
    const KnownSystem& prefix;
    bool wineRunning;
    const PrefixRemovalOptions& options;
    PrefixOutcome outcome;
    std::string folder;
  } cases[] = {
      {"Wine runs", game, true, options, PrefixOutcome::WineRunning, compat},
      {"the home", homePrefix, false, options, PrefixOutcome::Refused, home},
      {"a link", linked, false, options, PrefixOutcome::Refused, dir / "linked"},
      {"not compatdata", notCompat, false, options, PrefixOutcome::Refused, dir / "games/123"},
      {"holds another", outer, false, options, PrefixOutcome::Refused, dir / "outer"},
      {"saves inside", game, false, insideSaves, PrefixOutcome::SavesNotKept, compat},
      {"saves unwritable", game, false, fileAsFolder, PrefixOutcome::SavesNotKept, compat},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PrefixRemoval r = RemovePrefix(
        c.prefix, all, [&c] { return c.wineRunning; }, c.options, xdg);
    EXPECT_EQ(PrefixOutcomeName(r.outcome), std::string(PrefixOutcomeName(c.outcome)));
    EXPECT_FALSE(r.why.empty());
    EXPECT_TRUE(Exists(c.folder + (c.prefix.folder == c.prefix.path ? "/system.reg" : "/pfx")));
    EXPECT_TRUE(r.archive.file.empty());
  }
  EXPECT_FALSE(Exists(home + "/.local/share/Trash"));
  EXPECT_TRUE(Exists(home + "/.local/share/applications/wine/Programs/Game.desktop"));
}

TEST_F(PrefixRemovalTest, WithoutSavesNoArchiveIsWritten) {
  PrefixRemovalOptions noSaves = options;
  noSaves.keepSaves = false;
  const PrefixRemoval r = RemovePrefix(game, known, No, noSaves, xdg);
  EXPECT_EQ(r.outcome, PrefixOutcome::Removed) << r.why;
  EXPECT_TRUE(r.archive.file.empty());
  EXPECT_FALSE(Exists(dir / "saves"));
}

// Wine started while the saves were archived: the archive stays, the prefix too.
TEST_F(PrefixRemovalTest, WineStartedDuringTheArchiveKeepsThePrefix) {
  int asked = 0;
  const PrefixRemoval r = RemovePrefix(
      game, known, [&asked] { return ++asked > 1; }, options, xdg);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(r.outcome, PrefixOutcome::WineRunning);
  EXPECT_NE(r.why.find(r.archive.file), std::string::npos) << r.why;
  EXPECT_TRUE(Exists(compat + "/pfx/system.reg"));
  EXPECT_TRUE(Exists(r.archive.file));
}

// The archive may lie in none of the prefixes removed together (one without saves included),
// and a Proton game's folder whose pfx is a link to another prefix is not that game's.
TEST_F(PrefixRemovalTest, NeitherTheArchiveNorTheFolderReachesAnotherPrefix) {
  PrefixRemovalOptions inOther = options;
  inOther.savesTo = home + "/.wine/drive_c/saves";
  inOther.batchFolders = {compat, home + "/.wine"};
  const PrefixRemoval r = RemovePrefix(game, known, No, inOther, xdg);
  EXPECT_EQ(r.outcome, PrefixOutcome::SavesNotKept);
  EXPECT_TRUE(r.archive.file.empty());
  EXPECT_FALSE(Exists(home + "/.wine/drive_c/saves"));
  // compatdata/8/pfx leads to ~/.wine.
  const std::string linked = home + "/.local/share/Steam/steamapps/compatdata/8";
  test::MakeDirs(linked);
  ASSERT_EQ(::symlink((home + "/.wine").c_str(), (linked + "/pfx").c_str()), 0);
  const KnownSystem eight{"Steam app 8", home + "/.wine",    "Steam", "win64", linked,
                          "Steam app 8", OwnerState::Removed};
  const PrefixRemoval refused = RemovePrefix(eight, {eight, game}, No, options, xdg);
  EXPECT_EQ(refused.outcome, PrefixOutcome::Refused);
  EXPECT_TRUE(Exists(linked + "/pfx/system.reg"));
  EXPECT_TRUE(Exists(home + "/.wine/system.reg"));
}

// A game Heroic ran with Proton: its whole folder goes (the prefix in pfx, Proton's files
// beside it), and nothing else.
TEST_F(PrefixRemovalTest, AHeroicProtonGamesFolderGoesWhole) {
  const std::string folder = home + "/Games/Heroic/Prefixes/default/Elden";
  Prefix(folder + "/pfx");
  File(folder + "/version", "GE-Proton8-25");
  File(folder + "/pfx/drive_c/users/steamuser/AppData/Roaming/Elden/save.sl2", "save");
  Prefix(home + "/Games/Heroic/Prefixes/default/Other/pfx");
  const KnownSystem elden{"Elden", folder + "/pfx", "Heroic",           "win64",
                          folder,  "Elden",         OwnerState::Removed};
  const PrefixRemoval r = RemovePrefix(elden, {elden, game, plain}, No, options, xdg);
  ASSERT_EQ(r.outcome, PrefixOutcome::Removed) << r.why;
  EXPECT_EQ(TarList(r.archive.file),
            "Elden/drive_c/users/steamuser/AppData/Roaming/Elden/save.sl2\n");
  EXPECT_FALSE(Exists(folder));
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/files/Elden/version"));
  EXPECT_TRUE(Exists(home + "/Games/Heroic/Prefixes/default/Other/pfx/system.reg"));
  EXPECT_TRUE(Exists(compat + "/pfx/system.reg"));
  // The same folder named by another front end's prefix is not a Proton game's.
  Prefix(home + "/elsewhere/pfx");
  const KnownSystem lutris{"x", home + "/elsewhere/pfx", "Lutris", "win64", home + "/elsewhere",
                           "x", OwnerState::Removed};
  EXPECT_EQ(RemovePrefix(lutris, {lutris}, No, options, xdg).outcome, PrefixOutcome::Refused);
}

TEST_F(PrefixRemovalTest, APrefixIsFoundByWhatItIsNotHowItIsSpelt) {
  ASSERT_EQ(::symlink(compat.c_str(), (dir / "alias").c_str()), 0);
  const struct {
    std::string path;
    const char* found;  // nullptr: none
  } cases[] = {
      {compat + "/pfx", "Steam app 730"},   {compat, "Steam app 730"},
      {compat + "/pfx/.", "Steam app 730"}, {dir / "alias", "Steam app 730"},
      {home + "/.wine/", "~/.wine"},        {home, nullptr},
      {dir / "nothing", nullptr},           {compat + "/pfx/drive_c", nullptr},
  };
  for (const auto& c : cases) {
    const KnownSystem* found = FindKnownPrefix(known, c.path);
    EXPECT_EQ(found ? found->name : std::string("(none)"), c.found ? c.found : "(none)") << c.path;
  }
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

// Steam as it installs itself (~/.steam/steam a link to ~/.local/share/Steam), and a home that
// is itself reached through a link (/home to /var/home): the prefix found is measured, and its
// saves archived, as the folder it is.
TEST(PrefixRemovalLayouts, SavesAreFoundAndKeptWhateverLinkLedToThePrefix) {
  for (const bool homeThroughLink : {false, true}) {
    SCOPED_TRACE(homeThroughLink ? "a home through a link" : "Steam's own link");
    test::TempDir dir;
    const std::string realHome = dir / "var/home/ann";
    test::MakeDirs(realHome);
    std::string home = realHome;
    if (homeThroughLink) {
      test::MakeDirs(dir / "home");
      ASSERT_EQ(::symlink(realHome.c_str(), (dir / "home/ann").c_str()), 0);
      home = dir / "home/ann";
    }
    const std::string steam = realHome + "/.local/share/Steam";
    Prefix(steam + "/steamapps/compatdata/730/pfx");
    File(steam + "/steamapps/compatdata/730/pfx/drive_c/users/steamuser/Saved Games/G/s.sav",
         "the save");
    test::MakeDirs(realHome + "/.steam");
    ASSERT_EQ(::symlink(steam.c_str(), (realHome + "/.steam/steam").c_str()), 0);
    const PrefixSearch found = FindWinePrefixes(home, "");
    ASSERT_EQ(found.prefixes.size(), 1u);
    const FoundPrefix& p = found.prefixes[0];
    const std::string compat = fs::canonical(steam).string() + "/steamapps/compatdata/730";
    EXPECT_EQ(p.path, compat + "/pfx");
    EXPECT_EQ(p.folder, compat);
    EXPECT_EQ(p.ownerState, OwnerState::Removed);
    const PrefixUsage usage = MeasurePrefix(p.folder, p.path, 1);
    EXPECT_EQ(usage.saveFolders.size(), 1u);
    EXPECT_GT(usage.savesBytes, 0u);
    EXPECT_GT(usage.lastUsed, 0);
    // The spelling through the links measures the same.
    const PrefixUsage spelt = MeasurePrefix(home + "/.steam/steam/steamapps/compatdata/730",
                                            home + "/.steam/steam/steamapps/compatdata/730/pfx", 1);
    EXPECT_EQ(spelt.savesBytes, usage.savesBytes);
    const KnownSystem known{p.name, p.path, p.source, p.arch, p.folder, p.owner, p.ownerState};
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", home.c_str(), 1);
    const XdgFolders xdg = UserXdgFolders();
    ::setenv("HOME", oldHome.c_str(), 1);
    PrefixRemovalOptions options;
    options.savesTo = dir / "saves";
    const PrefixRemoval r = RemovePrefix(known, {known}, No, options, xdg);
    ASSERT_EQ(r.outcome, PrefixOutcome::Removed) << r.why;
    EXPECT_EQ(TarList(r.archive.file),
              "Steam app 730/drive_c/users/steamuser/Saved Games/G/s.sav\n");
    EXPECT_FALSE(Exists(compat));
  }
}

}  // namespace
}  // namespace pgl
