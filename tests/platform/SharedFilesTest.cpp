// The copies among prefixes: what counts as one, and what never does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "../TestSupport.h"
#include "platform/SharedFiles.h"

namespace pgl {
namespace {

TEST(SharedFiles, OnlyRegularFilesOfTheSameBytesOutsideTheUsersOwnAreCopies) {
  test::TempDir dir;
  const std::string a = dir / "a", b = dir / "b";
  const std::string dll(5000, 'd'), font(3000, 'f');
  struct Item {
    std::string path;
    std::string bytes;
  };
  const Item items[] = {
      {a + "/drive_c/windows/system32/x.dll", dll},
      {b + "/drive_c/windows/system32/x.dll", dll},  // a copy: counted in b
      {b + "/drive_c/windows/syswow64/x.dll", dll},  // another: b again
      {a + "/drive_c/windows/Fonts/f.ttf", font},
      {a + "/drive_c/windows/Fonts/same-size.ttf", std::string(3000, 'g')},  // not the same
      {b + "/drive_c/users/me/Documents/x.dll", dll},    // the user's own: never
      {a + "/system.reg", "WINE REGISTRY Version 2\n"},  // the registry files: never
      {b + "/system.reg", "WINE REGISTRY Version 2\n"},
      {a + "/drive_c/empty.txt", ""},  // nothing to share
      {b + "/drive_c/empty.txt", ""},
  };
  for (const Item& item : items) {
    test::MakeDirs(item.path.substr(0, item.path.rfind('/')));
    test::WriteFile(item.path, item.bytes);
  }
  // A link to a file is not a file; a hard link is the file itself, already one.
  ASSERT_EQ(::symlink((a + "/drive_c/windows/Fonts/f.ttf").c_str(), (b + "/f-link.ttf").c_str()),
            0);
  ASSERT_EQ(::link((a + "/drive_c/windows/Fonts/f.ttf").c_str(), (b + "/f-hard.ttf").c_str()), 0);

  const DuplicateReport report = FindDuplicates({a, b});
  ASSERT_EQ(report.prefixes.size(), 2u);
  EXPECT_EQ(report.prefixes[0].duplicateBytes, 0u);
  EXPECT_EQ(report.prefixes[1].duplicateBytes, 2 * dll.size());
  EXPECT_EQ(report.totalDuplicateBytes, 2 * dll.size());
  ASSERT_EQ(report.sets.size(), 1u);
  EXPECT_EQ(report.sets[0].files[0], a + "/drive_c/windows/system32/x.dll");  // the first kept
  EXPECT_EQ(report.sets[0].files.size(), 3u);
  EXPECT_TRUE(report.unreadable.empty());
  // The same prefixes in the other order keep b's first copy.
  const DuplicateReport other = FindDuplicates({b, a});
  EXPECT_EQ(other.prefixes[0].duplicateBytes, dll.size());
  EXPECT_EQ(other.prefixes[1].duplicateBytes, dll.size());
}

}  // namespace
}  // namespace pgl
