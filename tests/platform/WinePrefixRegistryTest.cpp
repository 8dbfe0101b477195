#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>
#include <filesystem>

#include "../TestSupport.h"
#include "inventory/UninstallEngine.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "platform/wine/WineServer.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"

namespace pgl {
namespace {

const char kSystem[] =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"App\"\n";
const char kUser[] =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
    "#arch=win64\n\n[Environment] 1700000000\n#time=1da1747c66d0000\n\"TEMP\"=\"C:\\\\t\"\n";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class PrefixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(dir / "system.reg", kSystem);
    test::WriteFile(dir / "user.reg", kUser);
  }
  WinePrefixRegistry::Seams NoServer() {
    WinePrefixRegistry::Seams seams;
    seams.serverRunning = [](const std::string&) { return false; };
    return seams;
  }
  test::TempDir dir;
};

TEST_F(PrefixTest, UnchangedFilesAreNotWrittenAndChangesReachTheDisk) {
  {
    WinePrefixRegistry reg(dir.Path(), NoServer());
    EXPECT_TRUE(reg.LoadProblems().empty());
    EXPECT_TRUE(RegWriteString(reg, kHkeyLocalMachine, std::string(kUninstall) + "\\New",
                               "DisplayName", "Zażółć"));
    EXPECT_TRUE(RegRemoveKey(reg, kHkeyLocalMachine, std::string(kUninstall) + "\\App"));
    EXPECT_TRUE(
        RegWriteInteger(reg, kHkeyCurrentUser, "Software\\Tervask\\Purgelet", "RunCounter", 3));
  }
  WinePrefixRegistry again(dir.Path(), NoServer());
  EXPECT_FALSE(RegKeyExists(again, kHkeyLocalMachine, std::string(kUninstall) + "\\App"));
  TRegistry reg(again);
  reg.SetRootKey(kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKeyReadOnly(std::string(kUninstall) + "\\New"));
  EXPECT_EQ(reg.ReadString("DisplayName"), "Zażółć");
  EXPECT_NE(
      test::ReadFile(dir / "system.reg").find("\"DisplayName\"=\"Za\\x17c\\xf3\\x142\\x107\""),
      std::string::npos);
  EXPECT_NE(test::ReadFile(dir / "user.reg").find("\"RunCounter\"=dword:00000003"),
            std::string::npos);
}

TEST_F(PrefixTest, ChangesMadeByWineMeanwhileAreKept) {
  WinePrefixRegistry reg(dir.Path(), NoServer());
  // Wine saves a new value while we hold the file in memory.
  std::string changed = kSystem;
  changed += "\"Publisher\"=\"Wine wrote this\"\n";
  test::WriteFile(dir / "system.reg", changed);
  ASSERT_TRUE(
      RegWriteString(reg, kHkeyLocalMachine, std::string(kUninstall) + "\\App", "Mine", "1"));
  const std::string now = test::ReadFile(dir / "system.reg");
  EXPECT_NE(now.find("Wine wrote this"), std::string::npos);
  EXPECT_NE(now.find("\"Mine\"=\"1\""), std::string::npos);
}

TEST_F(PrefixTest, FilesItDoesNotFullyUnderstandAreNeverWritten) {
  const std::pair<const char*, std::string> cases[] = {
      {"not a registry file", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n"},
      {"broken line", std::string(kSystem) + "this is not registry syntax\n"},
      {"not in Wine's form", std::string(kSystem) + "\"Extra\" = \"spaces around\"\n"},
  };
  for (const auto& [what, content] : cases) {
    test::WriteFile(dir / "system.reg", content);
    WinePrefixRegistry reg(dir.Path(), NoServer());
    EXPECT_FALSE(RegWriteString(reg, kHkeyLocalMachine, "A", "v", "1")) << what;
    EXPECT_FALSE(reg.LastError().empty()) << what;
    EXPECT_EQ(test::ReadFile(dir / "system.reg"), content) << what;
  }
}

TEST_F(PrefixTest, RefusedAndFailedWritesAreNeverReportedAsMade) {
  WinePrefixRegistry::Seams full = NoServer();
  full.write = [](const std::string&, std::string_view, std::string& error) {
    error = "No space left on device";
    return false;
  };
  WinePrefixRegistry diskFull(dir.Path(), full);
  EXPECT_FALSE(RegWriteString(diskFull, kHkeyLocalMachine, "A", "v", "1"));
  EXPECT_NE(diskFull.LastError().find("No space left"), std::string::npos);
  EXPECT_FALSE(RegKeyExists(diskFull, kHkeyLocalMachine, "A"));  // the change was undone
  EXPECT_EQ(test::ReadFile(dir / "system.reg"), kSystem);

  WinePrefixRegistry::Seams readOnly = NoServer();
  readOnly.canWrite = [](const std::string&) { return false; };
  WinePrefixRegistry noRights(dir.Path(), readOnly);
  TRegistry reg(noRights);
  reg.SetRootKey(kHkeyLocalMachine);
  EXPECT_FALSE(reg.OpenKey(std::string(kUninstall) + "\\App", false));
  EXPECT_TRUE(reg.OpenKeyReadOnly(std::string(kUninstall) + "\\App"));
  EXPECT_EQ(reg.ReadString("DisplayName"), "App");
  EXPECT_NE(noRights.LastError().find("permission"), std::string::npos);
}

// Wine starts during the save where its lock could not be held: the file is in place, but the
// server may have loaded the old one and will write it back. The removal is a failure, though
// the file read again no longer holds the key.
TEST_F(PrefixTest, ASaveWineMayUndoIsAFailedRemoval) {
  bool serverUp = false;
  WinePrefixRegistry::Seams seams;
  seams.serverRunning = [&](const std::string&) { return serverUp; };
  seams.write = [&](const std::string& path, std::string_view bytes, std::string& error) {
    const bool written = WriteFileAtomic(path, bytes, error);
    serverUp = true;
    return written;
  };
  WinePrefixRegistry reg(dir.Path(), seams);
  TUninstallInfo entry;
  entry.KeyName = "App";
  entry.DisplayName = "App";
  entry.RegistryKey = std::string("HKLM\\") + kUninstall + "\\App";
  const auto failures = RemoveEntries(reg, {entry});
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].reason.find("may undo it"), std::string::npos) << failures[0].reason;
}

// Holds the wineserver lock of the prefix in a child process, as a running server does.
TEST_F(PrefixTest, RunningServerMakesThePrefixReadOnly) {
  const std::string serverDir = WineServerDirectory(dir.Path());
  ASSERT_FALSE(serverDir.empty());
  test::MakeDirs(serverDir);
  const std::string lock = serverDir + "/lock";
  test::WriteFile(lock, "");
  EXPECT_FALSE(IsWineServerRunning(dir.Path()));
  WinePrefixRegistry reg(dir.Path());
  {
    const test::HeldLock server(lock);
    EXPECT_TRUE(IsWineServerRunning(dir.Path()));
    EXPECT_FALSE(RegWriteString(reg, kHkeyLocalMachine, "A", "v", "1"));
    EXPECT_NE(reg.LastError().find("Wine is running"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir / "system.reg"), kSystem);
  }
  EXPECT_FALSE(IsWineServerRunning(dir.Path()));
  EXPECT_TRUE(RegWriteString(reg, kHkeyLocalMachine, "A", "v", "1"));
  std::filesystem::remove_all(serverDir);
}

TEST_F(PrefixTest, RefreshReadsWhatWineSavedAndArchTellsTheViews) {
  WinePrefixRegistry reg(dir.Path(), NoServer());
  EXPECT_TRUE(reg.Is64BitSystem());
  EXPECT_FALSE(reg.Refresh());  // nothing changed on disk
  const std::string app = std::string(kUninstall) + "\\App";
  ASSERT_TRUE(RegKeyExists(reg, kHkeyLocalMachine, app));
  // Wine saved a registry without the entry (an uninstaller removed it), as a 32-bit prefix.
  std::string saved = kSystem;
  saved.replace(saved.find("win64"), 5, "win32");
  saved.erase(saved.find("\n[Software"));
  saved += "\n";
  test::WriteFile(dir / "system.reg.new", saved);
  std::filesystem::rename(dir / "system.reg.new", dir / "system.reg");
  const auto generation = reg.Generation();
  EXPECT_TRUE(reg.Refresh());
  EXPECT_NE(reg.Generation(), generation);
  EXPECT_FALSE(RegKeyExists(reg, kHkeyLocalMachine, app));
  EXPECT_FALSE(reg.Is64BitSystem());
}

}  // namespace
}  // namespace pgl
