// Writing a file as `cp` would, all or nothing, keeping what the file was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "../TestSupport.h"
#include "util/FileIO.h"

namespace pgl {
namespace {

struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st;
}

TEST(WriteFileAtomic, FollowsLinksWritesIntoSpecialFilesKeepsModeAndOwner) {
  test::TempDir dir;
  std::string error;
  // A link: its target is replaced, the link stays.
  test::WriteFile(dir / "target", "old");
  ASSERT_EQ(::symlink("target", (dir / "link").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir / "link", "new", error)) << error;
  EXPECT_TRUE(S_ISLNK(StatOf(dir / "link").st_mode));
  EXPECT_EQ(test::ReadFile(dir / "target"), "new");
  // A dangling link names the file to create.
  ASSERT_EQ(::symlink("made", (dir / "dangling").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir / "dangling", "x", error)) << error;
  EXPECT_EQ(test::ReadFile(dir / "made"), "x");
  // A FIFO is written into, not replaced.
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = test::ReadFile(dir / "fifo"); });
  ASSERT_TRUE(WriteFileAtomic(dir / "fifo", "through", error)) << error;
  reader.join();
  EXPECT_EQ(received, "through");
  EXPECT_TRUE(S_ISFIFO(StatOf(dir / "fifo").st_mode));
  // A folder is not a file.
  test::MakeDirs(dir / "folder");
  EXPECT_FALSE(WriteFileAtomic(dir / "folder", "x", error));
  // Modes: kept when replacing, from the umask when new.
  ASSERT_EQ(::chmod((dir / "target").c_str(), 0640), 0);
  ASSERT_TRUE(WriteFileAtomic(dir / "target", "again", error)) << error;
  EXPECT_EQ(StatOf(dir / "target").st_mode & 07777, 0640u);
  const mode_t saved = ::umask(027);
  ASSERT_TRUE(WriteFileAtomic(dir / "fresh", "n", error)) << error;
  ::umask(saved);
  EXPECT_EQ(StatOf(dir / "fresh").st_mode & 07777, 0640u);
  if (::geteuid() == 0) {
    // A save run as root leaves a user's file the user's.
    ASSERT_EQ(::chown((dir / "target").c_str(), 1234, 1235), 0);
    ASSERT_TRUE(WriteFileAtomic(dir / "target", "root wrote", error)) << error;
    EXPECT_EQ(StatOf(dir / "target").st_uid, 1234u);
    EXPECT_EQ(StatOf(dir / "target").st_gid, 1235u);
  } else {
    // A file the user may not write is refused, as cp refuses it.
    ASSERT_EQ(::chmod((dir / "target").c_str(), 0440), 0);
    EXPECT_FALSE(WriteFileAtomic(dir / "target", "no", error));
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  }
}

TEST(WriteFileAtomic, TemporariesOfKilledSavesAreRemoved) {
  test::TempDir dir;
  const std::string file = dir / "system.reg";
  test::WriteFile(file, "old");
  const std::string ours = file + ".pgl-" + std::to_string(::getpid()) + "-busy";
  for (const std::string& name :
       {file + ".pgl-2147483646-abcdef", file + ".pgl-Xy12ab", ours, dir / "other.pgl-1-x"})
    test::WriteFile(name, "leftover");
  std::string error;
  ASSERT_TRUE(WriteFileAtomic(file, "new", error)) << error;
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (std::vector<std::string>{"other.pgl-1-x", "system.reg",
                                      "system.reg.pgl-" + std::to_string(::getpid()) + "-busy"}));
}

}  // namespace
}  // namespace pgl
