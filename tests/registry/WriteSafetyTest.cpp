// Saves of a prefix's registry: two writers of ours and a save killed midway lose nothing
// that was reported saved and leave no torn file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "../TestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "platform/wine/WineServer.h"
#include "registry/QV_Registry.h"
#include "registry/WineRegFile.h"

namespace pgl {
namespace {

const char kSystem[] =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Purgelet\\\\Test] 1700000000\n#time=1da1747c66d0000\n\"seed\"=\"x\"\n";
const char kKey[] = "Software\\Purgelet\\Test";

WinePrefixRegistry::Seams NoServer() {
  WinePrefixRegistry::Seams seams;
  seams.serverRunning = [](const std::string&) { return false; };
  return seams;
}

// Writes values "<tag><n>" and reports, through a pipe, each n whose save was acknowledged.
[[noreturn]] void Writer(const std::string& prefix, char tag, int count, int out) {
  WinePrefixRegistry registry(prefix, NoServer());
  for (int n = 0; n < count; ++n) {
    const std::string name = std::string(1, tag) + std::to_string(n);
    if (RegWriteString(registry, kHkeyLocalMachine, kKey, name, "v")) {
      const std::string line = name + "\n";
      if (::write(out, line.data(), line.size()) < 0) ::_exit(2);
    }
  }
  ::_exit(0);
}

std::set<std::string> ValuesOnDisk(const std::string& prefix) {
  WineHive hive;
  const auto result = ParseWineRegistry(test::ReadFile(prefix + "/system.reg"), hive);
  EXPECT_TRUE(result.Understood());
  std::set<std::string> names;
  if (const RegKey* key = FindRegKey(hive.root.get(), kKey))
    for (const auto& v : key->Values()) names.insert(std::string(v.Name().begin(), v.Name().end()));
  return names;
}

TEST(WriteSafety, TwoWritersLoseNoAcknowledgedSave) {
  test::TempDir dir;
  test::WriteFile(dir / "system.reg", kSystem);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  pid_t pids[2];
  for (int w = 0; w < 2; ++w) {
    pids[w] = ::fork();
    if (pids[w] == 0) Writer(dir.Path(), static_cast<char>('a' + w), 150, fds[1]);
  }
  ::close(fds[1]);
  std::string acknowledged;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    acknowledged.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
  const auto onDisk = ValuesOnDisk(dir.Path());
  int count = 0, lost = 0;
  for (std::size_t at = 0; at < acknowledged.size();) {
    const std::size_t end = acknowledged.find('\n', at);
    lost += onDisk.count(acknowledged.substr(at, end - at)) == 0;
    ++count;
    at = end + 1;
  }
  // The writers take turns: each waits for the other's save, reads it and saves on top.
  EXPECT_EQ(count, 300);
  EXPECT_EQ(lost, 0) << "of " << count << " acknowledged saves";
}

// Two writers removing different entries of one file at once, each with a change held back for
// one save (the way the window's start records itself): both removals land.
TEST(WriteSafety, HeldChangesAreMadeAgainOnTheOtherWritersFile) {
  test::TempDir dir;
  const auto block = [](const char* name) {
    return std::string("\n[Software\\\\Purgelet\\\\") + name +
           "] 1700000000\n#time=1da1747c66d0000\n\"v\"=\"1\"\n";
  };
  std::string text = kSystem;
  text.insert(text.find("\n[Software"), block("One"));  // in Wine's order: One, Test, Two
  text += block("Two");
  test::WriteFile(dir / "system.reg", text);
  WinePrefixRegistry first(dir.Path(), NoServer()), second(dir.Path(), NoServer());
  second.HoldCommits();
  ASSERT_TRUE(RegRemoveKey(second, kHkeyLocalMachine, "Software\\Purgelet\\Two"));
  ASSERT_TRUE(RegWriteString(second, kHkeyLocalMachine, "Software\\Purgelet\\New", "n", "2"));
  ASSERT_TRUE(RegRemoveKey(first, kHkeyLocalMachine, "Software\\Purgelet\\One"));
  ASSERT_TRUE(RegWriteString(second, kHkeyLocalMachine, kKey, "late", "3"));
  ASSERT_TRUE(second.CommitHeld()) << second.LastError();
  WinePrefixRegistry after(dir.Path(), NoServer());
  EXPECT_FALSE(RegKeyExists(after, kHkeyLocalMachine, "Software\\Purgelet\\One"));
  EXPECT_FALSE(RegKeyExists(after, kHkeyLocalMachine, "Software\\Purgelet\\Two"));
  EXPECT_TRUE(RegValueExists(after, kHkeyLocalMachine, "Software\\Purgelet\\New", "n"));
  EXPECT_TRUE(RegValueExists(after, kHkeyLocalMachine, kKey, "late"));
  EXPECT_TRUE(RegValueExists(after, kHkeyLocalMachine, kKey, "seed"));
}

// The server's lock stays ours for the whole save, whatever descriptors of the lock file the
// process opens and closes meanwhile (the server check does): closing any descriptor would
// release a POSIX lock, and a server could start and load the old file.
TEST(WriteSafety, TheServersLockStaysHeldWhileTheServerIsLookedFor) {
  test::TempDir dir;
  test::WriteFile(dir / "system.reg", kSystem);
  const std::string serverDir = WineServerDirectory(dir.Path());
  test::MakeDirs(serverDir);
  const std::string lockFile = serverDir + "/lock";
  test::WriteFile(lockFile, "");
  const auto serverCouldLock = [&] {
    const pid_t child = ::fork();
    if (child == 0) {
      const int fd = ::open(lockFile.c_str(), O_RDWR);
      struct flock fl {};
      fl.l_type = F_WRLCK;
      fl.l_whence = SEEK_SET;
      ::_exit(::fcntl(fd, F_SETLK, &fl) == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  {
    const WineSaveLock lock(dir.Path());
    ASSERT_TRUE(lock.ServerFree());
    EXPECT_FALSE(serverCouldLock());
    // Our own lock is not taken for a server's.
    EXPECT_FALSE(IsWineServerRunning(dir.Path()));
    EXPECT_FALSE(serverCouldLock());
  }
  EXPECT_TRUE(serverCouldLock());
  std::filesystem::remove_all(serverDir);
}

TEST(WriteSafety, KilledSavesTearNothingAndLeaveNoTemporaries) {
  test::TempDir dir;
  test::WriteFile(dir / "system.reg", kSystem);
  std::mt19937 random(7);
  for (int round = 0; round < 25; ++round) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      Writer(dir.Path(), 'k', 1 << 30, null);
    }
    ::usleep(2000 + random() % 20000);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    WineHive hive;
    ASSERT_TRUE(ParseWineRegistry(test::ReadFile(dir / "system.reg"), hive).Understood())
        << "round " << round;
  }
  // The next save clears what the killed ones left.
  WinePrefixRegistry registry(dir.Path(), NoServer());
  ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, kKey, "after", "v"));
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(e.path().filename().string().find(".pgl-"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace pgl
