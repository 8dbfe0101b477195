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
    for (const auto& v : key->Values()) names.insert(std::string(v.name.begin(), v.name.end()));
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
  // A save that met the other writer's is refused and says so; many go through.
  EXPECT_GT(count, 0);
  EXPECT_EQ(lost, 0) << "of " << count << " acknowledged saves";
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
