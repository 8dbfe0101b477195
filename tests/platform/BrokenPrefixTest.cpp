// A prefix whose registry cannot be read is an error with a clear message, never an empty
// success; special files are refused before they are read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "../TestSupport.h"
#include "platform/ManagedSystem.h"
#include "util/FileIO.h"

namespace pgl {
namespace {

const char kGood[] =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"App\"\n";

// Opens the prefix as pgl-cli does, with WINEPREFIX pointing at it.
std::unique_ptr<ManagedSystem> Open(const std::string& prefix, std::string& error) {
  const char* saved = std::getenv("WINEPREFIX");
  const std::string keep = saved ? saved : "";
  ::setenv("WINEPREFIX", prefix.c_str(), 1);
  auto system = OpenManagedSystem(error);
  if (saved)
    ::setenv("WINEPREFIX", keep.c_str(), 1);
  else
    ::unsetenv("WINEPREFIX");
  return system;
}

TEST(BrokenPrefix, EachBrokenMachineRegistrySaysWhy) {
  struct Case {
    const char* what;
    void (*make)(const std::string& file);
    const char* message;
  };
  const Case cases[] = {
      {"empty", [](const std::string& f) { test::WriteFile(f, ""); }, "is empty"},
      {"garbage",
       [](const std::string& f) {
         test::WriteFile(f,
                         "\x7f"
                         "ELF\1\1garbage");
       },
       "is not a Wine registry file"},
      {"other version",
       [](const std::string& f) { test::WriteFile(f, "WINE REGISTRY Version 3\n"); },
       "of a version Purgelet cannot read (\"WINE REGISTRY Version 3\")"},
      {"link loop", [](const std::string& f) { ASSERT_EQ(::symlink(f.c_str(), f.c_str()), 0); },
       "Too many levels of symbolic links"},
      {"fifo", [](const std::string& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
       "is not a regular file"},
      {"folder", [](const std::string& f) { test::MakeDirs(f); }, "is not a regular file"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    c.make(dir / "system.reg");
    std::string error;
    EXPECT_EQ(Open(dir.Path(), error), nullptr) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
  test::TempDir missing;
  std::string error;
  EXPECT_EQ(Open(missing.Path(), error), nullptr);
  EXPECT_NE(error.find("has no system.reg"), std::string::npos) << error;
}

TEST(BrokenPrefix, ACutFileIsReportedAsTruncated) {
  test::TempDir dir;
  std::string cut = kGood;
  cut.pop_back();  // the last line loses its end
  test::WriteFile(dir / "system.reg", cut);
  std::string error;
  const auto system = Open(dir.Path(), error);
  ASSERT_NE(system, nullptr) << error;
  ASSERT_FALSE(system->problems.empty());
  EXPECT_NE(system->problems[0].find("truncated"), std::string::npos) << system->problems[0];
}

TEST(BrokenPrefix, SpecialAndHugeFilesAreNotRead) {
  test::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::string bytes, error;
  EXPECT_FALSE(ReadWholeFile(dir / "fifo", bytes, error));  // would hang if opened to read
  EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, error));   // would never end
  EXPECT_NE(error.find("not a regular file"), std::string::npos);
  test::WriteFile(dir / "big", std::string(2048, 'x'));
  EXPECT_FALSE(ReadWholeFile(dir / "big", bytes, error, 1024));
  EXPECT_NE(error.find("too large"), std::string::npos);
  EXPECT_TRUE(ReadWholeFile(dir / "big", bytes, error, 4096));
  EXPECT_EQ(bytes.size(), 2048u);
}

}  // namespace
}  // namespace pgl
