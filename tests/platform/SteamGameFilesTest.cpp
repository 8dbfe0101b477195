// What Steam keeps of a game beside its prefix: the shader cache (found, measured as du does,
// refused where it is not the game's own) and whether its saves are in Steam's cloud.
#include "platform/wine/SteamGameFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "TestSupport.h"
#include "leftovers/PrefixRemoval.h"
#include "platform/wine/PrefixUsage.h"
#include "platform/wine/WinePrefixes.h"

namespace pgl {
namespace {

void Prefix(const std::string& dir) {
  test::MakeDirs(dir);
  test::WriteFile(dir + "/system.reg",
                  "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n");
}

void File(const std::string& path, const std::string& text) {
  test::MakeDirs(path.substr(0, path.rfind('/')));
  test::WriteFile(path, text);
}

// Steam with two libraries: games installed and removed, with and without shader caches,
// Steam's own compatdata/0 and shadercache/0, a cache that is a link, and a user's cloud lists.
class SteamGameFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    File(steam + "/steamapps/libraryfolders.vdf", "\"libraryfolders\" { \"0\" { \"path\" \"" +
                                                      steam + "\" } \"1\" { \"path\" \"" +
                                                      (other / "lib2") + "\" } }");
    File(steam + "/steamapps/appmanifest_100.acf",
         "\"AppState\" { \"appid\" \"100\" \"name\" \"Installed Game\" }");
    for (const char* id : {"0", "100", "200", "300"})
      Prefix(steam + "/steamapps/compatdata/" + id + "/pfx");
    Prefix(other / "lib2/steamapps/compatdata/400/pfx");
    File(steam + "/steamapps/shadercache/0/fozpipelinesv6/steam.foz", std::string(5000, 's'));
    File(steam + "/steamapps/shadercache/100/fozpipelinesv6/a.foz", std::string(70000, 'a'));
    File(steam + "/steamapps/shadercache/200/DXVK_state_cache/b.dxvk-cache",
         std::string(123456, 'b'));
    File(steam + "/steamapps/shadercache/200/mesa_shader_cache/index", std::string(10, 'i'));
    File(other / "elsewhere/c.foz", std::string(9000, 'c'));
    test::MakeDirs(steam + "/steamapps/shadercache");
    ::symlink((other / "elsewhere").c_str(), (steam + "/steamapps/shadercache/300").c_str());
    // A cache of a game whose prefix is in the other library, and one with no prefix at all.
    File(other / "lib2/steamapps/shadercache/500/x", "x");
    File(steam + "/userdata/12345/100/remotecache.vdf",
         "\"100\" { \"ChangeNumber\" \"7\" \"save1.sav\" { \"root\" \"0\" \"size\" \"2048\" } }");
    File(steam + "/userdata/12345/200/remotecache.vdf", "\"200\" { \"ChangeNumber\" \"3\" }");
  }

  std::map<std::string, FoundPrefix> Found() {
    std::map<std::string, FoundPrefix> byId;
    for (FoundPrefix& p : FindWinePrefixes(home.Path(), "").prefixes)
      if (!p.folder.empty()) byId[p.folder.substr(p.folder.rfind('/') + 1)] = std::move(p);
    return byId;
  }

  test::TempDir home, other;
  const std::string steam = home / ".local/share/Steam";
};

TEST_F(SteamGameFilesTest, EachGameHasItsCacheAndCloudState) {
  const auto found = Found();
  const std::string caches = std::filesystem::canonical(steam).string() + "/steamapps/shadercache/";
  const struct {
    const char* id;
    std::string cache;
    CloudSaves cloud;
  } cases[] = {
      {"0", "", CloudSaves::None},               // Steam's own
      {"100", caches + "100", CloudSaves::Yes},  // lists a file
      {"200", caches + "200", CloudSaves::No},   // lists none
      {"300", caches + "300", CloudSaves::No},   // no folder in userdata
      {"400", "", CloudSaves::No},               // the other library: no cache
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    ASSERT_TRUE(found.contains(c.id));
    EXPECT_EQ(found.at(c.id).shaderCache, c.cache);
    EXPECT_EQ(found.at(c.id).cloudSaves, c.cloud);
  }
  // Measured as du -s -B1 measures it; a link is the link alone.
  for (const char* id : {"100", "200", "300"}) {
    std::vector<std::string> unreadable;
    EXPECT_EQ(FolderDiskBytes(caches + id, unreadable), test::DuBytes(caches + id)) << id;
    EXPECT_TRUE(unreadable.empty());
  }
}

TEST_F(SteamGameFilesTest, TheCloudStateIsUnknownWhereItCannotBeRead) {
  EXPECT_EQ(SteamCloudState(other / "no-steam", "100"), CloudSaves::Unknown);
  File(other / "s/userdata/7/100/remotecache.vdf", "\"100\" { broken");
  EXPECT_EQ(SteamCloudState(other / "s", "100"), CloudSaves::Unknown);
  // Another user's list saying yes outweighs it.
  File(other / "s/userdata/8/100/remotecache.vdf", "\"100\" { \"a.sav\" { \"size\" \"1\" } }");
  EXPECT_EQ(SteamCloudState(other / "s", "100"), CloudSaves::Yes);
  // A userdata folder with no user in it tells nothing.
  test::MakeDirs(other / "t/userdata");
  EXPECT_EQ(SteamCloudState(other / "t", "100"), CloudSaves::Unknown);
  EXPECT_EQ(SteamCloudState(other / "s", "0"), CloudSaves::None);
}

TEST_F(SteamGameFilesTest, OnlyTheGamesOwnCacheInItsLibraryMayGo) {
  const std::string compat = steam + "/steamapps/compatdata/";
  const std::string caches = steam + "/steamapps/shadercache/";
  test::MakeDirs(other / "lib2/steamapps/shadercache/100");
  const struct {
    std::string cache, compat;
    const char* refusal;  // what it says; nullptr when it may go
  } cases[] = {
      {caches + "100", compat + "100", nullptr},
      {caches + "200", compat + "200", nullptr},
      {caches + "300", compat + "300", "is a link, not the game's own shader cache"},
      {caches + "200", compat + "100", "is not the shader cache of this game (100)"},
      {caches + "0", compat + "0", "Steam's own shader cache"},
      {other / "lib2/steamapps/shadercache/100", compat + "100",
       "lies outside the Steam library that holds the prefix"},
      {caches + "999", compat + "999", "is not a folder"},
  };
  for (const auto& c : cases) {
    const std::string why = ShaderCacheRefusal(c.cache, c.compat, Language::English);
    if (c.refusal)
      EXPECT_NE(why.find(c.refusal), std::string::npos)
          << c.cache << " for " << c.compat << ": " << why;
    else
      EXPECT_EQ(why, "") << c.cache << " for " << c.compat;
  }
}

}  // namespace
}  // namespace pgl
