#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>
#include <tuple>

#include "../TestSupport.h"
#include "inventory/UninstallEngine.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "platform/wine/WineProcessRunner.h"
#include "platform/wine/WineServer.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "registry/WineRegFile.h"

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
  // The lock file a server of the prefix would hold (test::HeldLock holds it as one does);
  // empty when there is no place for it. Its folder goes with the test.
  std::string ServerLock() {
    serverDir_ = WineServerDirectory(dir.Path());
    if (serverDir_.empty()) return {};
    test::MakeDirs(serverDir_);
    test::WriteFile(serverDir_ + "/lock", "");
    return serverDir_ + "/lock";
  }
  void TearDown() override {
    if (!serverDir_.empty()) std::filesystem::remove_all(serverDir_);
  }
  test::TempDir dir;

 private:
  std::string serverDir_;
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
  const auto failures = RemoveEntries(reg, {entry});
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].reason.find("may undo it"), std::string::npos) << failures[0].reason;
}

// A batch removal saves each registry file once, and a file whose save fails keeps all of its
// entries, each named with the reason, while the other file's go.
TEST_F(PrefixTest, ARemovalSavesEachFileOnceAndAFailedSaveFailsThatFilesEntries) {
  std::vector<TUninstallInfo> entries;
  {
    WinePrefixRegistry setup(dir.Path(), NoServer());
    for (const auto& [root, view, key] :
         {std::tuple{kHkeyLocalMachine, UninstallView::Machine, "M1"},
          std::tuple{kHkeyLocalMachine, UninstallView::Machine, "M2"},
          std::tuple{kHkeyCurrentUser, UninstallView::User, "U1"},
          std::tuple{kHkeyLocalMachine, UninstallView::Machine, "M3"}}) {
      ASSERT_TRUE(
          RegWriteString(setup, root, std::string(kUninstall) + "\\" + key, "DisplayName", key));
      TUninstallInfo entry;
      entry.KeyName = key;
      entry.DisplayName = key;
      entry.View = view;
      entries.push_back(entry);
    }
  }
  for (const bool systemFails : {false, true}) {
    const std::string system = test::ReadFile(dir / "system.reg");
    const std::string user = test::ReadFile(dir / "user.reg");
    std::map<std::string, int> saves;
    WinePrefixRegistry::Seams seams = NoServer();
    seams.write = [&](const std::string& path, std::string_view bytes, std::string& error) {
      const std::string name = std::filesystem::path(path).filename().string();
      ++saves[name];
      if (systemFails && name == "system.reg") {
        error = "No space left on device";
        return false;
      }
      return WriteFileAtomic(path, bytes, error);
    };
    WinePrefixRegistry reg(dir.Path(), seams);
    const auto failures = RemoveEntries(reg, entries);
    EXPECT_EQ(saves["system.reg"], 1) << systemFails;
    EXPECT_EQ(saves["user.reg"], 1) << systemFails;
    if (!systemFails) {
      EXPECT_TRUE(failures.empty()) << failures.front().reason;
      // Put back for the failing round.
      test::WriteFile(dir / "system.reg", system);
      test::WriteFile(dir / "user.reg", user);
      continue;
    }
    ASSERT_EQ(failures.size(), 3u);
    for (const auto& [failure, name] : {std::pair{failures[0], "M1"}, std::pair{failures[1], "M2"},
                                        std::pair{failures[2], "M3"}}) {
      EXPECT_EQ(failure.displayName, name);
      EXPECT_NE(failure.reason.find("No space left"), std::string::npos) << failure.reason;
    }
    EXPECT_EQ(test::ReadFile(dir / "system.reg"), system);
    EXPECT_EQ(test::ReadFile(dir / "user.reg").find("U1"), std::string::npos);
  }
}

// Holds the wineserver lock of the prefix in a child process, as a running server does.
TEST_F(PrefixTest, RunningServerMakesThePrefixReadOnly) {
  const std::string lock = ServerLock();
  ASSERT_FALSE(lock.empty());
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
}

// After a batch, a periodic save lets the registry be read while the server still runs; its
// files can be written only once the server has ended, so that wait goes on until then.
TEST_F(PrefixTest, TheWaitToWriteLastsUntilTheServerEnds) {
  const std::string lock = ServerLock();
  ASSERT_FALSE(lock.empty());
  struct Case {
    const char* name;
    int endsAfterMs;   // when the server ends; -1: never, while we wait
    int stopAtSecond;  // when the caller stops waiting; -1: never
    bool waited, serverGone;
  } cases[] = {
      {"the server ends", 1200, -1, true, true},
      {"the caller stops", -1, 1, false, false},
      {"the server outlives the grace", -1, -1, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WineProcessRunner runner(dir.Path(), "/bin/false");
    runner.saveGraceSeconds = 2;
    auto server = std::make_unique<test::HeldLock>(lock);
    ASSERT_TRUE(IsWineServerRunning(dir.Path()));
    std::thread ending;
    if (c.endsAfterMs >= 0)
      ending = std::thread([&server, ms = c.endsAfterMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        server.reset();
      });
    // A periodic save: the changes can be read at once.
    std::thread saving([this, saved = std::string(kSystem) + std::string(&c - cases + 1, '\n')] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      test::WriteFile(dir / "system.reg", saved);
    });
    EXPECT_TRUE(runner.WaitUntilRegistrySaved(nullptr));
    saving.join();
    EXPECT_TRUE(IsWineServerRunning(dir.Path()));
    const bool waited = runner.WaitUntilRegistryWritable(
        [&c](int seconds) { return c.stopAtSecond < 0 || seconds < c.stopAtSecond; });
    EXPECT_EQ(waited, c.waited);
    EXPECT_EQ(!IsWineServerRunning(dir.Path()), c.serverGone);
    if (ending.joinable()) ending.join();
    server.reset();
  }
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

// Read for a list, a prefix decodes only the keys the list and the environment need; what it
// shows is what the whole read shows, a cut file is still seen (at the same line), and its first
// write reads the files whole, so that every other key is written back as it was.
TEST(WinePrefixListing, ReadsWhatTheListNeedsAndWritesLikeAWholeRead) {
  const std::string machine =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
      "\n[Software\\\\Classes\\\\.txt] 1700000000\n#time=1da1747c66d0000\n@=\"txtfile\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1700000000\n"
      "#time=1da1747c66d0000\n\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer] 1700000000\n"
      "#time=1da1747c66d0000\n\"x\"=\"1\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1700000000\n"
      "#time=1da1747c66d0000\n\"DisplayName\"=\"App\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\UninstallOther] 1700000000\n"
      "#time=1da1747c66d0000\n\"x\"=\"1\"\n"
      // '|' differs from '\\' only in the bit that makes letters lower case
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion||Uninstall\\\\Pipe] 1700000000\n"
      "#time=1da1747c66d0000\n\"x\"=\"1\"\n"
      "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1700000000\n"
      "#time=1da1747c66d0000\n\"PATH\"=str(2):\"%SystemRoot%\\\\system32\"\n"
      "\n[Software\\\\Classes\\\\txtfile] 1700000000\n#time=1da1747c66d0000\n@=\"Text\"\n";
  WinePrefixRegistry::Seams seams;
  seams.serverRunning = [](const std::string&) { return false; };
  // A large file is read in pieces: a problem far into it must still name its line.
  std::string large = machine;
  for (int i = 0; i < 6000; ++i)
    large += "\n[Software\\\\Classes\\\\Filler" + std::to_string(i) + "] 1700000000\n\"v\"=\"1\"\n";
  large +=
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Late] 1\ngarbage\n";
  for (const int variant : {0, 1, 2}) {
    const bool cut = variant == 1;
    SCOPED_TRACE(variant == 0 ? "whole file" : cut ? "cut in the last key" : "a large file");
    test::TempDir whole, listing;
    // In the exact form Wine writes, so that the prefix may be changed.
    WineHive hive;
    ASSERT_TRUE(ParseWineRegistry(machine, hive).Understood());
    const std::string exact = WriteWineRegistry(hive);
    const std::string text = variant == 2 ? large : cut ? exact.substr(0, exact.size() - 8) : exact;
    for (const auto* dir : {&whole, &listing}) test::WriteFile(*dir / "system.reg", text);
    WinePrefixRegistry a(whole.Path(), seams);
    WinePrefixRegistry b(listing.Path(), seams, WinePrefixRegistry::Read::WhatListsNeed);
    EXPECT_EQ(a.LoadProblems().size(), variant == 0 ? 0u : 1u);
    if (variant == 2) {
      ASSERT_GT(text.size(), kReadInPiecesFrom);
      EXPECT_NE(a.LoadProblems().at(0).find(ParseWineRegistry(text, hive).problems.at(0)),
                std::string::npos)
          << a.LoadProblems().at(0);
    }
    // The same problem, at the same line.
    const auto problems = [](const WinePrefixRegistry& r, const std::string& dir) {
      std::vector<std::string> out;
      for (std::string p : r.LoadProblems()) out.push_back(p.replace(p.find(dir), dir.size(), "D"));
      return out;
    };
    EXPECT_EQ(problems(b, listing.Path()), problems(a, whole.Path()));
    if (variant != 0) continue;
    EXPECT_TRUE(RegKeyExists(b, kHkeyLocalMachine, kUninstall + std::string("\\App")));
    EXPECT_FALSE(RegKeyExists(b, kHkeyLocalMachine, "Software\\Classes\\.txt"));
    EXPECT_FALSE(RegKeyExists(b, kHkeyLocalMachine,
                              "Software\\Microsoft\\Windows\\CurrentVersion\\UninstallOther"));
    EXPECT_FALSE(RegKeyExists(b, kHkeyLocalMachine,
                              "Software\\Microsoft\\Windows\\CurrentVersion||Uninstall\\Pipe"));
    EXPECT_TRUE(RegKeyExists(a, kHkeyLocalMachine,
                             "Software\\Microsoft\\Windows\\CurrentVersion||Uninstall\\Pipe"));
    const char* expand = "%ProgramFiles%|%PATH%|%SystemRoot%";
    EXPECT_EQ(WinePlatform(listing.Path(), b).ExpandEnvironmentStrings(expand),
              WinePlatform(whole.Path(), a).ExpandEnvironmentStrings(expand));
    for (auto* r : {&a, &b})
      ASSERT_TRUE(RegWriteString(*r, kHkeyLocalMachine, kUninstall + std::string("\\App"),
                                 "DisplayVersion", "2"));
    // Byte for byte the same but for the changed key's times.
    const auto withoutTimes = [](std::string text) {
      for (std::size_t at = text.find("\n#time="); at != std::string::npos;
           at = text.find("\n#time=", at + 1))
        text.erase(at + 7, text.find('\n', at + 1) - at - 7);
      for (std::size_t at = text.find("] "); at != std::string::npos; at = text.find("] ", at + 1))
        text.erase(at + 2, text.find('\n', at) - at - 2);
      return text;
    };
    EXPECT_EQ(withoutTimes(test::ReadFile(listing / "system.reg")),
              withoutTimes(test::ReadFile(whole / "system.reg")));
    EXPECT_NE(test::ReadFile(listing / "system.reg").find(R"(Software\\Classes\\.txt)"),
              std::string::npos);
  }
}

// A prefix read for a list reads the other keys when a reader asks for them (leftovers, a
// restore), and a write reads only its own file whole: the window's record of each start does
// not decode the machine's file.
TEST(WinePrefixListing, OtherKeysAreReadWhenAskedForAndAWriteReadsItsOwnFile) {
  test::TempDir dir;
  for (const auto& [file, relative, key] :
       {std::tuple{"system.reg", R"(\\Machine)", R"(Software\\Classes\\.txt)"},
        std::tuple{"user.reg", R"(\\User\\S-1-5-21-0)", R"(Software\\Other)"}}) {
    WineHive hive;
    ASSERT_TRUE(ParseWineRegistry(std::string("WINE REGISTRY Version 2\n;; All keys relative to ") +
                                      relative + "\n\n#arch=win64\n\n[" + key +
                                      "] 1700000000\n#time=1da1747c66d0000\n@=\"x\"\n",
                                  hive)
                    .Understood());
    test::WriteFile(dir / file, WriteWineRegistry(hive));
  }
  WinePrefixRegistry::Seams seams;
  seams.serverRunning = [](const std::string&) { return false; };
  WinePrefixRegistry r(dir.Path(), seams, WinePrefixRegistry::Read::WhatListsNeed);
  EXPECT_FALSE(RegKeyExists(r, kHkeyCurrentUser, "Software\\Other"));
  ASSERT_TRUE(RegWriteString(r, kHkeyCurrentUser, "Software\\Tervask\\Purgelet", "Version", "1"));
  EXPECT_TRUE(RegKeyExists(r, kHkeyCurrentUser, "Software\\Other"));
  EXPECT_NE(test::ReadFile(dir / "user.reg").find(R"([Software\\Other])"), std::string::npos);
  EXPECT_FALSE(RegKeyExists(r, kHkeyLocalMachine, "Software\\Classes\\.txt"));
  r.ReadEverything();
  EXPECT_TRUE(RegKeyExists(r, kHkeyLocalMachine, "Software\\Classes\\.txt"));
}

}  // namespace
}  // namespace pgl

#include "inventory/Restore.h"
#include "registry/RegExport.h"

namespace pgl {
namespace {

// Registry files as other Wine builds write them: each is read, backed up whole, changed with
// every other line kept byte for byte (a new key in the file's own form), and restored.
TEST(OtherWineBuilds, EachFormIsReadChangedAndRestoredInItsOwnForm) {
  const std::string uninstall = "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall";
  const struct {
    const char* name;
    std::string head;     // the file's header
    const char* keyTail;  // what follows "]" on each key's line, and its option lines
  } forms[] = {
      {"wine-staging's two numbers",
       "WINE REGISTRY Version 2\n;; All keys relative to "
       "\\\\Machine\n\n#arch=win64\n",
       " 1579782946 8976280\n"},
      {"two numbers and #time",
       "WINE REGISTRY Version 2\n;; All keys relative to "
       "\\\\Machine\n\n#arch=win64\n",
       " 1579782946 8976280\n#time=1d5d1e9a2f6f498\n"},
      {"before #time lines", "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n",
       " 1279782946\n"},
      {"no relative line", "WINE REGISTRY Version 2\n\n#arch=win32\n", " 1279782946\n"},
  };
  for (const auto& form : forms) {
    SCOPED_TRACE(form.name);
    test::TempDir dir;
    const auto block = [&](const std::string& key, const std::string& name) {
      return "\n[" + uninstall + "\\\\" + key + "]" + form.keyTail + "\"DisplayName\"=\"" + name +
             "\"\n\"UninstallString\"=\"C:\\\\" + key + "\\\\un.exe\"\n";
    };
    const std::string other =
        "\n[Software\\\\Vendor]" + std::string(form.keyTail) + "\"x\"=\"1\"\n";
    const std::string original =
        form.head + block("Alpha", "Alpha") + block("Beta", "Beta") + other;
    test::WriteFile(dir / "system.reg", original);
    test::WriteFile(dir / "user.reg", "WINE REGISTRY Version 2\n");  // the header alone
    WinePrefixRegistry::Seams seams;
    seams.serverRunning = [](const std::string&) { return false; };
    std::string backup;
    {
      WinePrefixRegistry reg(dir.Path(), seams);
      EXPECT_TRUE(reg.LoadProblems().empty()) << reg.LoadProblems().front();
      EXPECT_TRUE(RegKeyExists(reg, kHkeyLocalMachine, std::string(kUninstall) + "\\Alpha"));
      backup = BuildRegistryExport(reg, kHkeyLocalMachine, kUninstall, 1252).bytes;
      EXPECT_NE(backup.find("\"DisplayName\"=\"Beta\""), std::string::npos);
      ASSERT_TRUE(RegRemoveKey(reg, kHkeyLocalMachine, std::string(kUninstall) + "\\Alpha"));
    }
    EXPECT_EQ(test::ReadFile(dir / "system.reg"), form.head + block("Beta", "Beta") + other);
    EXPECT_EQ(test::ReadFile(dir / "user.reg"), "WINE REGISTRY Version 2\n");
    WinePrefixRegistry reg(dir.Path(), seams);
    RestorePlan plan;
    std::string error;
    ASSERT_TRUE(PlanRestore(reg, backup, 1252, plan, error)) << error;
    ASSERT_TRUE(ApplyRestore(reg, plan, Language::English, error)) << error;
    // Alpha is back, its key line in the file's form; the rest as it was.
    const std::string restored = test::ReadFile(dir / "system.reg");
    const std::size_t at = restored.find("Uninstall\\\\Alpha]");
    ASSERT_NE(at, std::string::npos) << restored;
    const std::string line = restored.substr(at, restored.find("\"DisplayName", at) - at);
    const std::string tail = form.keyTail;
    const bool twoNumbers = tail.find(' ', 1) < tail.find('\n');
    const bool timeLine = tail.find("#time=") != std::string::npos;
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), twoNumbers ? 2 : 1) << line;
    EXPECT_EQ(line.find("#time=") != std::string::npos, timeLine) << line;
    EXPECT_NE(restored.find(block("Beta", "Beta") + other), std::string::npos) << restored;
    EXPECT_TRUE(restored.starts_with(form.head)) << restored;
    // The header-only user.reg takes a key as Wine would write it into an empty registry.
    ASSERT_TRUE(RegWriteString(reg, kHkeyCurrentUser, "Software\\Game", "Slot", "1"))
        << reg.LastError();
    EXPECT_TRUE(test::ReadFile(dir / "user.reg")
                    .starts_with("WINE REGISTRY Version 2\n\n[Software\\\\Game] "));
  }
}

}  // namespace
}  // namespace pgl

#include "platform/ManagedSystem.h"
#include "ui/main/Startup.h"

namespace pgl {
namespace {

// The program's own record of its starts lives in its own folder: made on first use, counted
// on each start, and kept apart from every prefix.
TEST(ProgramRecord, StartsAreRecordedInTheProgramsOwnFolder) {
  test::TempDir dir;
  for (int start = 1; start <= 2; ++start) {
    const auto record = OpenProgramRecord(dir.Path());
    ASSERT_NE(record, nullptr);
    const StartupRecords written = RecordThisStart(*record, "/usr/bin/pgl");
    EXPECT_TRUE(written.written) << written.refusal;
    TRegistry reg(*record);
    reg.SetRootKey(kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenKeyReadOnly(kProgramKey));
    EXPECT_EQ(reg.ReadInteger("RunCounter"), start);
  }
  EXPECT_NE(test::ReadFile(dir / "start-record/user.reg").find("\"RunCounter\"=dword:00000002"),
            std::string::npos);
  // A folder that cannot hold it gives none.
  test::WriteFile(dir / "file", "x");
  EXPECT_EQ(OpenProgramRecord(dir / "file"), nullptr);
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

// A user file of over a megabyte is read at the same time as the machine's: what each holds,
// and a problem in either, come out as they do read one after the other.
TEST_F(PrefixTest, BothFilesReadAtOnceKeepWhatEachHolds) {
  std::string user =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
      "#arch=win64\n";
  for (int i = 0; user.size() < (3u << 19); ++i)
    user += "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\User" +
            std::to_string(i) + "] 1700000000\n#time=1da1747c66d0000\n\"DisplayName\"=\"User " +
            std::to_string(i) +
            "\"\n\"Blob\"=hex:00,11,22,33,44,55,66,77,88,99,aa,bb,cc,dd,ee,ff\n";
  struct Case {
    const char* what;
    bool brokenUser, brokenSystem;
  } cases[] = {{"both read", false, false},
               {"a broken line in the user's", true, false},
               {"a broken line in the machine's", false, true}};
  for (const Case& c : cases) {
    for (const auto read :
         {WinePrefixRegistry::Read::Whole, WinePrefixRegistry::Read::WhatListsNeedAtOnce}) {
      SCOPED_TRACE(std::string(c.what) +
                   (read == WinePrefixRegistry::Read::Whole ? ", whole" : ", listing"));
      test::WriteFile(dir / "user.reg", user + (c.brokenUser ? "garbage\n" : ""));
      test::WriteFile(dir / "system.reg",
                      std::string(kSystem) + (c.brokenSystem ? "garbage\n" : ""));
      WinePrefixRegistry reg(dir.Path(), NoServer(), read);
      ASSERT_EQ(reg.LoadProblems().size(), c.brokenUser || c.brokenSystem ? 1u : 0u);
      if (c.brokenUser || c.brokenSystem) {
        EXPECT_NE(reg.LoadProblems()[0].find(c.brokenUser ? "user.reg" : "system.reg"),
                  std::string::npos)
            << reg.LoadProblems()[0];
      }
      EXPECT_TRUE(RegKeyExists(reg, kHkeyLocalMachine, std::string(kUninstall) + "\\App"));
      EXPECT_TRUE(RegKeyExists(reg, kHkeyCurrentUser, std::string(kUninstall) + "\\User0"));
      EXPECT_TRUE(RegKeyExists(reg, kHkeyCurrentUser, std::string(kUninstall) + "\\User3000"));
    }
  }
}

}  // namespace
}  // namespace pgl
