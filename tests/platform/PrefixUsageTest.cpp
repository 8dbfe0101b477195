// What a prefix costs on disk, which of its files are saves, and when it was last used.
#include "platform/wine/PrefixUsage.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "TestSupport.h"

namespace pgl {
namespace {

TEST(SaveFolders, TheProfilesOwnFoldersLessWinesOwn) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"drive_c/users/steamuser/Documents/My Games/Skyrim/Saves/a.ess",
       "drive_c/users/steamuser/Documents/My Games"},
      {"drive_c/users/ann/Saved Games/Game/slot1", "drive_c/users/ann/Saved Games/Game"},
      {"drive_c/users/ann/AppData/Roaming/Game/cfg.ini", "drive_c/users/ann/AppData/Roaming/Game"},
      {"drive_c/users/ann/AppData/LocalLow/Studio/Game/save",
       "drive_c/users/ann/AppData/LocalLow/Studio"},
      {"drive_c/users/ann/AppData/Local/Game/x", "drive_c/users/ann/AppData/Local/Game"},
      {"drive_c/users/ann/Documents/notes.txt", "drive_c/users/ann/Documents"},
      {"drive_c/users/ann/Application Data/Old/x", "drive_c/users/ann/Application Data/Old"},
      {"drive_c/users/Public/Documents/Shared/x", "drive_c/users/Public/Documents/Shared"},
      // Wine's own, and what lies outside the profiles
      {"drive_c/users/ann/AppData/Roaming/Microsoft/Windows/Start Menu/x.lnk", ""},
      {"drive_c/users/ann/AppData/Local/Microsoft/Windows/INetCache/x", ""},
      {"drive_c/users/ann/AppData/Local/Temp/setup.tmp", ""},
      {"drive_c/users/ann/Temp/x", ""},
      {"drive_c/users/ann/Desktop/x.lnk", ""},
      {"drive_c/users/ann/AppData/Roaming", ""},
      {"drive_c/users/ann/AppDataX/Roaming/Game/x", ""},
      {"drive_c/Program Files/Game/save.dat", ""},
      {"drive_c/users/", ""},
      {"users/ann/Documents/x/y", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(SaveFolderOf(c.path), c.folder) << c.path;
}

TEST(SaveFolders, TheFoldersThatMayHoldSaves) {
  const std::pair<const char*, bool> cases[] = {
      {"drive_c", true},
      {"drive_c/users", true},
      {"drive_c/users/ann", true},
      {"drive_c/users/ann/AppData", true},
      {"drive_c/users/ann/Local Settings", true},
      {"drive_c/users/ann/AppData/Roaming", true},
      {"drive_c/users/ann/AppData/Roaming/Game/Slots", true},
      {"drive_c/users/ann/Saved Games", true},
      {"drive_c/users/ann/AppData/Roaming/Microsoft", false},
      {"drive_c/users/ann/AppData/Local/Temp", false},
      {"drive_c/users/ann/Desktop", false},
      {"drive_c/windows", false},
      {"drive_c/Program Files", false},
      {"dosdevices", false},
  };
  for (const auto& [dir, may] : cases) EXPECT_EQ(MayHoldSaves(dir), may) << dir;
}

void File(const std::string& path, std::size_t size, std::time_t mtime = 0) {
  test::MakeDirs(path.substr(0, path.rfind('/')));
  test::WriteFile(path, std::string(size, 'x'));
  if (mtime) {
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }
}

// A Proton game's compatdata folder: the prefix in pfx, the profile's Documents linked to a
// folder outside, a file with two names, a save written after the registry.
TEST(PrefixUsage, CountsAsDuDoesAndTellsTheSavesApart) {
  test::TempDir root, outside;
  const std::string compat = root / "compatdata/4000";
  const std::string pfx = compat + "/pfx";
  const std::string user = pfx + "/drive_c/users/steamuser";
  File(pfx + "/system.reg", 5000, 1700000000);
  File(pfx + "/user.reg", 3000, 1700000100);
  File(compat + "/version", 10, 1800000000);  // not the prefix's: no use of it
  File(pfx + "/drive_c/windows/system32/big.dll", 300000, 1800000000);
  File(user + "/AppData/Roaming/Microsoft/Windows/Start Menu/x.lnk", 2000, 1800000000);
  File(user + "/Saved Games/Game/slot1.sav", 70000, 1750000000);
  File(user + "/AppData/LocalLow/Studio/Game/prefs", 100, 1700000050);
  ASSERT_EQ(::link((user + "/Saved Games/Game/slot1.sav").c_str(),
                   (user + "/Saved Games/Game/slot1.bak").c_str()),
            0);
  File(outside / "Documents/huge.bin", 1 << 20);
  ASSERT_EQ(::symlink((outside / "Documents").c_str(), (user + "/Documents").c_str()), 0);

  for (const unsigned threads : {1u, 4u}) {
    SCOPED_TRACE(threads);
    const PrefixUsage usage = MeasurePrefix(compat, pfx, threads);
    EXPECT_EQ(usage.sizeBytes, test::DuBytes(compat));
    EXPECT_LT(usage.sizeBytes, 1u << 20);  // the linked Documents is not the prefix's
    // The save (counted once for its two names) and the settings under LocalLow.
    struct stat save {
    }, prefs{};
    ASSERT_EQ(::stat((user + "/Saved Games/Game/slot1.sav").c_str(), &save), 0);
    ASSERT_EQ(::stat((user + "/AppData/LocalLow/Studio/Game/prefs").c_str(), &prefs), 0);
    EXPECT_EQ(usage.savesBytes, static_cast<std::uint64_t>(save.st_blocks + prefs.st_blocks) * 512);
    ASSERT_EQ(usage.saveFolders.size(), 2u);
    EXPECT_EQ(usage.saveFolders[0].path, "drive_c/users/steamuser/AppData/LocalLow/Studio");
    EXPECT_EQ(usage.saveFolders[1].path, "drive_c/users/steamuser/Saved Games/Game");
    // The newest of the registry files and the saves; Wine's own files do not count.
    EXPECT_EQ(usage.lastUsed, 1750000000);
    EXPECT_TRUE(usage.unreadable.empty());
  }
}

TEST(PrefixUsage, AMissingFolderIsToldNotCounted) {
  test::TempDir root;
  const PrefixUsage usage = MeasurePrefix(root / "gone", root / "gone");
  EXPECT_EQ(usage.sizeBytes, 0u);
  EXPECT_EQ(usage.lastUsed, 0);
  EXPECT_EQ(usage.unreadable, std::vector<std::string>{root / "gone"});
}

// A folder the user cannot read: its size is not counted either way, but only one that may
// hold saves makes the saves unknown (and so the prefix not removable with its saves kept).
TEST(PrefixUsage, AnUnreadableFolderThatMayHoldSavesIsTold) {
  test::TempDir root;
  const std::string user = root / "pfx/drive_c/users/steamuser";
  File(user + "/Saved Games/Game/slot.sav", 10);
  File(root / "pfx/drive_c/windows/system32/x.dll", 10);
  File(user + "/AppData/Local/Temp/x.tmp", 10);
  test::GiveToTestUser(root.Path());
  const struct {
    std::string hidden;
    bool savesUnread;
  } cases[] = {
      {user + "/Saved Games/Game", true},
      {user, true},
      {root / "pfx/drive_c/windows/system32", false},
      {user + "/AppData/Local/Temp", false},
  };
  for (const auto& c : cases) {
    test::HideFromTestUser(c.hidden);
    const int told = test::RunAsTestUser([&] {
      const PrefixUsage usage = MeasurePrefix(root.Path(), root / "pfx", 2);
      const bool unreadable = std::find(usage.unreadable.begin(), usage.unreadable.end(),
                                        c.hidden) != usage.unreadable.end();
      const bool savesUnread = std::find(usage.savesUnread.begin(), usage.savesUnread.end(),
                                         c.hidden) != usage.savesUnread.end();
      return (unreadable ? 1 : 0) | (savesUnread ? 2 : 0);
    });
    EXPECT_EQ(told, c.savesUnread ? 3 : 1) << c.hidden;
    ::chmod(c.hidden.c_str(), 0755);
    test::GiveToTestUser(c.hidden);
  }
}

}  // namespace
}  // namespace pgl
