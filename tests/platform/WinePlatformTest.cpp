#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "../TestSupport.h"
#include "lang/Language.h"
#include "platform/ManagedSystem.h"
#include "platform/QV_FileSystem.h"
#include "platform/wine/WinePlatform.h"
#include "util/CodePage.h"

namespace pgl {
namespace {

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry.LoadWineText(
        kHkeyLocalMachine,
        "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1\n"
        "\"SystemRoot\"=\"C:\\\\windows\"\n"
        "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList] 1\n"
        "\"ProgramData\"=str(2):\"C:\\\\ProgramData\"\n"
        "\"Public\"=str(2):\"C:\\\\users\\\\Public\"\n"
        "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
        "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
        "\"ProgramFilesDir (x86)\"=\"C:\\\\Program Files (x86)\"\n"
        "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n"
        "\"PATH\"=str(2):\"%SystemRoot%\\\\system32;%SystemRoot%;C:\\\\Tools\\\\\"\n"
        "\"TEMP\"=str(2):\"%SystemRoot%\\\\temp\"\n"
        "\"windir\"=str(2):\"%SystemRoot%\"\n"));
    ASSERT_TRUE(registry.LoadWineText(kHkeyCurrentUser,
                                      "\n[Environment] 1\n\"TEMP\"=\"C:\\\\users\\\\ann\\\\Temp\"\n"
                                      "\n[Volatile Environment] 1\n"
                                      "\"USERPROFILE\"=\"C:\\\\users\\\\ann\"\n"));
    test::MakeDirs(dir / "drive_c/windows/system32");
    test::MakeDirs(dir / "drive_c/Program Files/My App");
    test::MakeDirs(dir / "drive_c/Tools");
    test::MakeDirs(dir / "dosdevices");
    ASSERT_EQ(::symlink("../drive_c", (dir / "dosdevices/c:").c_str()), 0);
    test::WriteFile(dir / "drive_c/windows/system32/msiexec.exe", "MZ");
    test::WriteFile(dir / "drive_c/windows/regedit.exe", "MZ");
    test::WriteFile(dir / "drive_c/Tools/tool.exe", "MZ");
    test::MakeDirs(dir / "drive_c/Tools ");  // made by a Linux program
    test::WriteFile(dir / "drive_c/Tools /tool.exe", "MZ");
    test::WriteFile(dir / "drive_c/Program Files/My App/Uninst.exe", "MZ");
  }
  test::TempDir dir;
  MemoryRegistry registry;
};

TEST_F(PlatformTest, EnvironmentIsThePrefixs) {
  WinePlatform platform(dir.Path(), registry);
  const std::pair<const char*, const char*> cases[] = {
      {"%SystemRoot%", "C:\\windows"},
      {"%windir%\\x", "C:\\windows\\x"},
      {"%TEMP%", "C:\\users\\ann\\Temp"},  // the user's value wins
      {"%ProgramFiles%\\a", "C:\\Program Files\\a"},
      {"%ProgramFiles(x86)%", "C:\\Program Files (x86)"},
      {"%ALLUSERSPROFILE%|%PUBLIC%", "C:\\ProgramData|C:\\users\\Public"},
      {"%programfiles%", "C:\\Program Files"},  // names without regard to case
      {"%Unknown%\\x", "%Unknown%\\x"},
      {"%Unknown%SystemRoot%", "%Unknown%SystemRoot%"},
      {"100% sure", "100% sure"},
      {"%%", "%%"},
      {"a%SystemDrive%b%", "aC:b%"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ExpandEnvVars(platform, in, false), out) << in;
  EXPECT_EQ(ExpandEnvVars(platform, "SystemRoot", true), "C:\\windows");
  EXPECT_EQ(ExpandEnvVars(platform, "NoSuchVar", true), "%NoSuchVar%");
}

TEST_F(PlatformTest, WindowsPathsResolveInsideThePrefix) {
  WinePlatform platform(dir.Path(), registry);
  const std::pair<const char*, bool> files[] = {
      {"C:\\Program Files\\My App\\Uninst.exe", true},
      {"c:\\PROGRAM FILES\\my app\\uninst.EXE", true},
      {"C:/Program Files/My App/Uninst.exe", true},
      {"C:\\Program Files\\My App\\Uninst.exe  ", true},  // trailing blanks
      {"C:\\Program Files\\.\\x\\..\\My App\\Uninst.exe", true},
      {R"(\\?\C:\windows\regedit.exe)", true},
      {"C:\\Program Files\\My App", false},  // a folder
      {"C:\\Program Files\\My App\\Missing.exe", false},
      {"D:\\Uninst.exe", false},  // no such drive
      {"Uninst.exe", false},      // relative
      {"", false},
      {"C:\\Program Files\\My App\\Uninst.exe.", true},    // trailing dots
      {"C:\\Program Files\\My App\\Uninst.exe. .", true},  // and blanks, mixed
      {"C:\\Program Files\\My App\\Uninst.exe\\", false},  // ends in a separator
      {"C:\\Program Files\\My App\\Uninst.exe\\x", false},
      {"C:\\Program Files\\My App\\Uninst.exe/", false},
      // A blank that ends a folder's name is kept, and that name is found only as spelled.
      {"C:\\Program Files\\My App \\Uninst.exe", false},
      {"C:\\Program Files\\My App\\Uninst.exe /S", false},
      {"C:\\Tools \\tool.exe", true},
      {"C:\\TOOLS \\tool.exe", false},
  };
  // The same answers with the drives held open, as a scan holds them.
  for (const bool held : {false, true}) {
    const std::shared_ptr<void> hold = held ? platform.HoldDrives() : nullptr;
    for (const auto& [path, exists] : files)
      EXPECT_EQ(platform.FileExists(path), exists) << path << (held ? " (held)" : "");
    // However the path is written, it names the file by one host path.
    for (const char* path :
         {"C:\\Program Files\\My App\\Uninst.exe", "C:/Program Files/My App/Uninst.exe",
          R"(C:\Program Files\\My App\Uninst.exe)", "C:\\Program Files\\.\\My App\\Uninst.exe. ."})
      EXPECT_EQ(platform.ToUnixPath(path),
                dir.Path() + "/dosdevices/c:/Program Files/My App/Uninst.exe")
          << path;
  }
  // A drive linked elsewhere between two scans is looked into where it now leads; while a
  // scan holds the drives, the folder it opened first answers.
  test::MakeDirs(dir / "other/Program Files/My App");
  test::WriteFile(dir / "other/Program Files/My App/Other.exe", "MZ");
  {
    const std::shared_ptr<void> hold = platform.HoldDrives();
    EXPECT_TRUE(platform.FileExists("C:\\Program Files\\My App\\Uninst.exe"));
    ASSERT_EQ(::unlink((dir / "dosdevices/c:").c_str()), 0);
    ASSERT_EQ(::symlink("../other", (dir / "dosdevices/c:").c_str()), 0);
    const std::shared_ptr<void> second = platform.HoldDrives();
    EXPECT_TRUE(platform.FileExists("C:\\Program Files\\My App\\Uninst.exe"));
  }
  for (const bool held : {false, true}) {
    const std::shared_ptr<void> hold = held ? platform.HoldDrives() : nullptr;
    EXPECT_FALSE(platform.FileExists("C:\\Program Files\\My App\\Uninst.exe"));
    EXPECT_TRUE(platform.FileExists("C:\\Program Files\\My App\\Other.exe"));
  }
  // Longer than Windows allows, and a million components: refused at once.
  EXPECT_FALSE(platform.FileExists("C:\\" + std::string(40000, 'a') + "\\x.exe"));
  std::string deep = "C:";
  for (int i = 0; i < 16000; ++i) deep += "\\b";
  EXPECT_FALSE(platform.FileExists(deep + "\\Uninst.exe"));
}

TEST_F(PlatformTest, SearchPathFollowsWindowsOrder) {
  WinePlatform platform(dir.Path(), registry);
  const std::pair<const char*, const char*> cases[] = {
      {"msiexec.exe", "C:\\windows\\system32\\msiexec.exe"},
      {"MsiExec.exe", "C:\\windows\\system32\\MsiExec.exe"},  // the name as asked for
      {"regedit.exe", "C:\\windows\\regedit.exe"},
      {"tool.exe", "C:\\Tools\\tool.exe"},
      {"C:\\Tools\\tool.exe", "C:\\Tools\\tool.exe"},
      {"missing.exe", "default"},
      {"", "default"},
  };
  for (const auto& [name, found] : cases)
    EXPECT_EQ(FindOnSearchPath(platform, name, "default"), found) << name;
}

// The code page Wine will pick for the user's locale.
TEST(CodePage, OnlyALocaleThatIsInstalledCounts) {
  // Polish by its name, but no such locale exists: Wine runs in the C locale then.
  const char* saved = std::getenv("LC_ALL");
  const std::string keep = saved ? saved : "";
  ::setenv("LC_ALL", "pl_XX.UTF-8", 1);
  EXPECT_EQ(UserAnsiCodePage(), 1252);
  ::setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(UserAnsiCodePage(), 1252);
  if (saved)
    ::setenv("LC_ALL", keep.c_str(), 1);
  else
    ::unsetenv("LC_ALL");
}

// On Linux the first start's language comes from the locale variables.
TEST(Language, FirstStartFollowsTheMessageLocale) {
  struct Case {
    const char* all;
    const char* messages;
    const char* lang;
    bool polish;
  };
  const Case cases[] = {{"", "", "pl_PL.UTF-8", true},
                        {"", "pl_PL", "en_US.UTF-8", true},
                        {"C", "pl_PL", "pl_PL", false},
                        {"", "", "plt_XX", false},
                        {"", "", "", false},
                        {"pl", "", "", true}};
  for (const Case& c : cases) {
    ::setenv("LC_ALL", c.all, 1);
    ::setenv("LC_MESSAGES", c.messages, 1);
    ::setenv("LANG", c.lang, 1);
    EXPECT_EQ(LanguageFromLocale(), LanguageOf(c.polish))
        << c.all << "|" << c.messages << "|" << c.lang;
  }
  ::setenv("LC_ALL", "C.UTF-8", 1);
  ::unsetenv("LC_MESSAGES");
  ::setenv("LANG", "C.UTF-8", 1);
}

// A prefix of a large registry restarts the program once, with the C library's large pages; the
// restarted program gives what it runs the environment the user gave it. A small one does not
// restart. The test program restarts itself, in a child, into this very test.
TEST(LargeRegistry, OneRestartAndTheUsersEnvironmentForWhatItRuns) {
  const char* report = std::getenv("PGL_TEST_RESTART_REPORT");
  const char* prefix = std::getenv("PGL_TEST_RESTART_PREFIX");
  if (report && prefix) {  // the restarted child
    RestartForLargeRegistry(prefix, nullptr);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    test::WriteFile(report, std::string("restarted ") + (tunables ? tunables : "(unset)") +
                                (std::getenv("PGL_TUNABLES_BEFORE") ? " marked" : ""));
    std::_Exit(0);
  }
  const std::string filter = "--gtest_filter=LargeRegistry.*";
  for (const bool large : {true, false}) {
    for (const char* users : {"glibc.malloc.check=0", static_cast<const char*>(nullptr)}) {
      SCOPED_TRACE(std::string(large ? "large" : "small") + ", " + (users ? users : "unset"));
      test::TempDir dir;
      const std::string system = dir / "system.reg";
      test::WriteFile(system, "WINE REGISTRY Version 2\n");
      if (large) {
        ASSERT_EQ(::truncate(system.c_str(), 20 << 20), 0);
      }
      const std::string out = dir / "report";
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        if (users)
          ::setenv("GLIBC_TUNABLES", users, 1);
        else
          ::unsetenv("GLIBC_TUNABLES");
        ::setenv("PGL_TEST_RESTART_REPORT", out.c_str(), 1);
        ::setenv("PGL_TEST_RESTART_PREFIX", dir.Path().c_str(), 1);
        std::string self = "pgl_core_tests";
        char* argv[] = {self.data(), const_cast<char*>(filter.c_str()), nullptr};
        RestartForLargeRegistry(dir.Path(), argv);
        test::WriteFile(out, "not restarted");
        std::_Exit(0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_EQ(test::ReadFile(out),
                large ? std::string("restarted ") + (users ? users : "(unset)") : "not restarted");
    }
  }
}

}  // namespace
}  // namespace pgl
