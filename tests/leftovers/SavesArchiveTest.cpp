// The saves kept before a prefix goes: an archive that tar reads back whole, of the saves only,
// under a name that fits and never replaces a file, or no archive at all and a reason.
#include "leftovers/SavesArchive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

#include "TestSupport.h"
#include "util/Utf.h"

namespace pgl {
namespace {

namespace fs = std::filesystem;

// What a shell command prints.
std::string Output(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
      out.append(buffer, got);
    ::pclose(pipe);
  }
  return out;
}

void File(const std::string& path, const std::string& bytes) {
  test::MakeDirs(path.substr(0, path.rfind('/')));
  test::WriteFile(path, bytes);
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class SavesArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user = prefix / "drive_c/users/steamuser";
    File(user + "/Saved Games/Quest/slot1.sav", std::string(70000, 'a'));
    // A path longer than a tar header holds, and a name that is not ASCII.
    File(user + "/AppData/Roaming/" + std::string(120, 'x') + "/Zażółć gęślą.cfg", "cfg");
    // Wine's own beside the saves, a link to a file outside the prefix and a FIFO: none goes in.
    File(user + "/AppData/Roaming/Microsoft/Windows/Start Menu/x.lnk", "lnk");
    File(outside / "secret", "not the prefix's");
    ::symlink((outside / "secret").c_str(), (user + "/Saved Games/Quest/link").c_str());
    ::mkfifo((user + "/Saved Games/Quest/fifo").c_str(), 0600);
    // Outside the profiles: no save.
    File(prefix / "drive_c/Program Files/Quest/quest.exe", "MZ");
  }

  test::TempDir prefix, outside, into;
  std::string user;
};

TEST_F(SavesArchiveTest, TarListsAndExtractsTheSavesAsTheyWere) {
  SavesArchive archive;
  std::string error;
  ASSERT_TRUE(WriteSavesArchive(prefix.Path(), "Quest/Game", into.Path(), archive, error)) << error;
  EXPECT_EQ(archive.files, 2u);
  EXPECT_EQ(archive.bytes, 70003u);
  EXPECT_EQ(archive.compression, "zstd");
  EXPECT_TRUE(archive.file.starts_with(into / "Quest_Game saves ")) << archive.file;
  EXPECT_TRUE(archive.file.ends_with(".tar.zst"));
  const std::string listed = Output("tar -tf '" + archive.file + "' | sort");
  EXPECT_EQ(listed, "Quest_Game/drive_c/users/steamuser/AppData/Roaming/" + std::string(120, 'x') +
                        "/Zażółć gęślą.cfg\n"
                        "Quest_Game/drive_c/users/steamuser/Saved Games/Quest/slot1.sav\n");
  test::TempDir out;
  ASSERT_EQ(Output("tar -xf '" + archive.file + "' -C '" + out.Path() + "' && echo ok"), "ok\n");
  EXPECT_EQ(test::ReadFile(out / "Quest_Game/drive_c/users/steamuser/Saved Games/Quest/slot1.sav"),
            std::string(70000, 'a'));
  // Only the archive is left in the folder: no temporary file.
  EXPECT_EQ(Names(into.Path()).size(), 1u);
}

// Two removals at the same moment with one owner's name, and files already named as the
// archive would be: each archive gets a name of its own and nothing is replaced.
TEST_F(SavesArchiveTest, AnArchiveNeverReplacesAFile) {
  const std::time_t now = std::time(nullptr);
  for (std::time_t t = now; t < now + 3; ++t) {
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
    File(into / ("Game saves " + std::string(stamp) + ".tar.zst"), "precious");
  }
  SavesArchive first, second;
  std::string firstError, secondError;
  bool firstOk = false, secondOk = false;
  std::thread other([&] {
    secondOk = WriteSavesArchive(prefix.Path(), "Game", into.Path(), second, secondError);
  });
  firstOk = WriteSavesArchive(prefix.Path(), "Game", into.Path(), first, firstError);
  other.join();
  ASSERT_TRUE(firstOk) << firstError;
  ASSERT_TRUE(secondOk) << secondError;
  EXPECT_NE(first.file, second.file);
  for (const std::string& name : Names(into.Path())) {
    if (into / name == first.file || into / name == second.file) continue;
    EXPECT_EQ(test::ReadFile(into / name), "precious") << name;
  }
  EXPECT_EQ(Names(into.Path()).size(), 5u);
  for (const SavesArchive* a : {&first, &second})
    EXPECT_NE(Output("tar -tf '" + a->file + "'").find("slot1.sav"), std::string::npos);
}

// A name longer than a file name may be (76 CJK characters, 228 bytes; 300 letters) is cut,
// never inside a character, and the archive is written at once.
TEST_F(SavesArchiveTest, ALongOwnerNameIsCutToWhatTheFileSystemTakes) {
  std::string cjk;
  for (int i = 0; i < 76; ++i) cjk += "\xe5\xad\x97";  // 字
  for (const std::string& name : {cjk, std::string(300, 'n')}) {
    SavesArchive archive;
    std::string error;
    ASSERT_TRUE(WriteSavesArchive(prefix.Path(), name, into.Path(), archive, error)) << error;
    const std::string file = fs::path(archive.file).filename();
    EXPECT_LE(file.size(), 255u);
    EXPECT_EQ(WithoutControlCharacters(file), file);
    const std::string top = Output("tar -tf '" + archive.file + "' | head -1");
    EXPECT_TRUE(file.starts_with(top.substr(0, top.find('/')))) << top;
  }
}

TEST_F(SavesArchiveTest, ASparseSaveStaysSparse) {
  const std::string save = user + "/AppData/Local/Sim/world.dat";
  File(save, "");
  {
    std::FILE* f = std::fopen(save.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, 32 << 20, SEEK_SET);
    std::fputs("the one written block", f);
    std::fclose(f);
    ASSERT_EQ(::truncate(save.c_str(), 64 << 20), 0);  // a hole at the end too
  }
  SavesArchive archive;
  std::string error;
  ASSERT_TRUE(WriteSavesArchive(prefix.Path(), "Sim", into.Path(), archive, error)) << error;
  EXPECT_EQ(archive.bytes, 70003u + (64u << 20));
  EXPECT_LT(fs::file_size(archive.file), 1u << 20);
  test::TempDir out;
  ASSERT_EQ(Output("tar -xf '" + archive.file + "' -C '" + out.Path() + "' && echo ok"), "ok\n");
  const std::string back = out / "Sim/drive_c/users/steamuser/AppData/Local/Sim/world.dat";
  EXPECT_EQ(Output("cmp '" + save + "' '" + back + "' && echo same"), "same\n");
}

// A save the user cannot read stops the archive, naming it: the prefix must not go without it.
// So does a folder for the archive that the user may not enter.
TEST_F(SavesArchiveTest, WhatCannotBeReadOrWrittenFailsAndLeavesNothing) {
  File(user + "/Saved Games/Locked/slot.sav", "locked away");
  File(user + "/AppData/LocalLow/Studio/Game/unreadable.sav", "no read");
  test::MakeDirs(into / "closed");
  test::GiveToTestUser(prefix.Path());
  test::GiveToTestUser(into.Path());
  const struct {
    const char* name;
    std::string hidden;  // made unreadable for the user
    std::string intoDir;
    std::string named;  // what the reason names
  } cases[] = {
      {"a save folder", user + "/Saved Games/Locked", into / "saves", "Saved Games/Locked"},
      {"a save file", user + "/AppData/LocalLow/Studio/Game/unreadable.sav", into / "saves",
       "unreadable.sav"},
      {"the archive's folder", into / "closed", into / "closed/saves", "closed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::HideFromTestUser(c.hidden);
    const int named = test::RunAsTestUser([&] {
      SavesArchive archive;
      std::string error;
      if (WriteSavesArchive(prefix.Path(), "Game", c.intoDir, archive, error)) return 1;
      return error.find(c.named) != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(named, 0);
    ::chmod(c.hidden.c_str(), 0755);
    test::GiveToTestUser(c.hidden);
    for (const std::string& dir : {into / "saves", into / "closed"})
      EXPECT_TRUE(Names(dir).empty() || Names(dir) == std::vector<std::string>{"saves"}) << dir;
  }
  // A file where the folder should be.
  File(into / "file", "a file where the folder should be");
  SavesArchive archive;
  std::string error;
  EXPECT_FALSE(WriteSavesArchive(prefix.Path(), "Game", into / "file/saves", archive, error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(archive.file.empty());
}

TEST(SavesArchive, NamesFitForAFile) {
  const struct {
    std::string name;
    std::size_t maxBytes;
    std::string expected;
  } cases[] = {
      {"Half-Life 2", 200, "Half-Life 2"},
      {"a/b\\c", 200, "a_b_c"},
      {"x\ny\x7f", 200, "x_y_"},
      {"C1 \xc2\x85 and \xc2\x9b", 200, "C1 _ and _"},  // NEL and CSI
      {"raw \xff\xfe byte", 200, "raw __ byte"},
      {"Zażółć", 4, "Zaż"},  // ż is two bytes: it fits
      {"Zażółć", 3, "Za"},   // and is not split
      {"\xe5\xad\x97\xe5\xad\x97", 5, "\xe5\xad\x97"},
      {"", 200, "prefix"},
      {".", 200, "prefix"},
      {"..", 200, "prefix"},
  };
  for (const auto& c : cases) EXPECT_EQ(ArchiveName(c.name, c.maxBytes), c.expected) << c.name;
}

TEST(SavesArchive, APrefixWithoutSavesGetsNoArchive) {
  test::TempDir prefix, into;
  test::MakeDirs(prefix / "drive_c/users/steamuser/Desktop");
  SavesArchive archive;
  std::string error;
  ASSERT_TRUE(WriteSavesArchive(prefix.Path(), "Empty", into.Path(), archive, error)) << error;
  EXPECT_TRUE(archive.file.empty());
  EXPECT_EQ(archive.files, 0u);
  EXPECT_TRUE(Names(into.Path()).empty());
}

}  // namespace
}  // namespace pgl
