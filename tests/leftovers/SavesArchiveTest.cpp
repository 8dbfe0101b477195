// The saves kept before a prefix goes: an archive that tar reads back whole, of the saves only.
#include "leftovers/SavesArchive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "TestSupport.h"

namespace pgl {
namespace {

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

class SavesArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user = prefix / "drive_c/users/steamuser";
    File(user + "/Saved Games/Quest/slot1.sav", std::string(70000, 'a'));
    // A path longer than a tar header holds, and a name that is not ASCII.
    File(user + "/AppData/Roaming/" + std::string(120, 'x') + "/Zażółć gęślą.cfg", "cfg");
    // Wine's own beside the saves, and a link to a file outside the prefix: neither goes in.
    File(user + "/AppData/Roaming/Microsoft/Windows/Start Menu/x.lnk", "lnk");
    File(outside / "secret", "not the prefix's");
    ::symlink((outside / "secret").c_str(), (user + "/Saved Games/Quest/link").c_str());
  }

  test::TempDir prefix, outside, into;
  std::string user;
  const std::vector<std::string> folders = {
      "drive_c/users/steamuser/Saved Games/Quest",
      "drive_c/users/steamuser/AppData/Roaming/" + std::string(120, 'x'),
      "drive_c/users/steamuser/AppData/Roaming"};
};

TEST_F(SavesArchiveTest, TarListsAndExtractsTheSavesAsTheyWere) {
  SavesArchive archive;
  std::string error;
  ASSERT_TRUE(WriteSavesArchive(prefix.Path(), folders, "Quest/Game", into.Path(), archive, error))
      << error;
  EXPECT_EQ(archive.files, 2u);
  EXPECT_EQ(archive.bytes, 70003u);
  EXPECT_TRUE(archive.file.starts_with(into / "Quest_Game saves ")) << archive.file;
  EXPECT_TRUE(archive.file.ends_with(".tar"));
  const std::string listed = Output("tar -tf '" + archive.file + "' | sort");
  EXPECT_EQ(listed, "Quest_Game/drive_c/users/steamuser/AppData/Roaming/" + std::string(120, 'x') +
                        "/Zażółć gęślą.cfg\n"
                        "Quest_Game/drive_c/users/steamuser/Saved Games/Quest/slot1.sav\n");
  test::TempDir out;
  ASSERT_EQ(Output("tar -xf '" + archive.file + "' -C '" + out.Path() + "' && echo ok"), "ok\n");
  EXPECT_EQ(test::ReadFile(out / "Quest_Game/drive_c/users/steamuser/Saved Games/Quest/slot1.sav"),
            std::string(70000, 'a'));
  // A second archive in the same second gets a name of its own.
  SavesArchive again;
  ASSERT_TRUE(WriteSavesArchive(prefix.Path(), folders, "Quest/Game", into.Path(), again, error));
  EXPECT_NE(again.file, archive.file);
}

TEST_F(SavesArchiveTest, AFolderThatCannotBeWrittenLeavesNothing) {
  SavesArchive archive;
  std::string error;
  File(into / "file", "a file where the folder should be");
  EXPECT_FALSE(
      WriteSavesArchive(prefix.Path(), folders, "Game", into / "file/saves", archive, error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(archive.file.empty());
  // A folder that is full: writing fails and no file stays (/dev/full as the target's folder is
  // not possible; a read-only folder is, for a user that is not root).
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(into.Path().c_str(), 0555), 0);
    EXPECT_FALSE(WriteSavesArchive(prefix.Path(), folders, "Game", into.Path(), archive, error));
    ::chmod(into.Path().c_str(), 0755);
  }
  std::size_t left = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(into.Path())) ++left;
  EXPECT_EQ(left, 1u);  // the file put there, nothing else
}

TEST(SavesArchive, NamesFitForAFile) {
  const std::pair<const char*, const char*> cases[] = {
      {"Half-Life 2", "Half-Life 2"},
      {"a/b\\c", "a_b_c"},
      {"x\ny", "x_y"},
      {"", "prefix"},
      {".", "prefix"},
      {"..", "prefix"},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(ArchiveName(name), expected) << name;
}

}  // namespace
}  // namespace pgl
