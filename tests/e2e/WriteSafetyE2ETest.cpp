// No save that was reported as done is lost to a wineserver: one started with another
// TMPDIR, or one that starts while saves go on.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "registry/WineRegFile.h"

namespace pgl {
namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST(WriteSafetyE2E, AServerStartedWithAnotherTmpdirIsSeen) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", false);
  const std::string otherTmp = dir / "other-tmp";
  std::filesystem::create_directories(otherTmp);
  e2e::EnvList env = e2e::WineEnvironment(prefix);
  env.emplace_back("TMPDIR", otherTmp);
  ASSERT_EQ(e2e::Run({"wineserver", "-p"}, env).exitCode, 0);
  std::this_thread::sleep_for(std::chrono::seconds(1));  // let it settle in its folder
  const auto r = e2e::Cli(prefix, {"remove", "--yes", "PurgeletDemo"});
  e2e::Run({"wineserver", "-k"}, env);
  e2e::Run({"wineserver", "-w"}, env);
  EXPECT_EQ(r.exitCode, 1) << r.output;
  // Refused at the check before the change, or (when the server was still starting up
  // then) at the one before the save.
  EXPECT_TRUE(r.output.find("Wine is running in this prefix") != std::string::npos ||
              r.output.find("Wine started in this prefix meanwhile") != std::string::npos)
      << r.output;
  WinePrefixRegistry registry(prefix);
  EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, kUninstall + "PurgeletDemo"));
}

TEST(WriteSafetyE2E, AServerStartingDuringSavesLosesNoAcknowledgedOne) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  std::atomic<bool> wineDone{false};
  std::atomic<bool> firstSaved{false};
  // Wine starts while we save (once a save went through, however busy the machine is), and
  // changes the registry, so that its server writes the registry back when it exits.
  std::thread wine([&] {
    for (int i = 0; i < 1000 && !firstSaved; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    e2e::Run(
        {"wine", "reg", "add", "HKLM\\Software\\PurgeletStream", "/v", "wine", "/d", "x", "/f"},
        e2e::WineEnvironment(prefix));
    wineDone = true;
  });
  std::vector<std::string> acknowledged;
  int attempts = 0;
  {
    WinePrefixRegistry registry(prefix);
    for (; !wineDone || attempts < 50; ++attempts) {
      const std::string name = "v" + std::to_string(attempts);
      if (RegWriteString(registry, kHkeyLocalMachine, "Software\\PurgeletStream", name, "ours")) {
        acknowledged.push_back(name);
        firstSaved = true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  wine.join();
  e2e::WaitForServer(prefix);
  WinePrefixRegistry after(prefix);
  int lost = 0;
  for (const auto& name : acknowledged)
    lost += !RegValueExists(after, kHkeyLocalMachine, "Software\\PurgeletStream", name);
  std::printf("saves: %d attempted, %zu acknowledged, %d of them lost\n", attempts,
              acknowledged.size(), lost);
  EXPECT_FALSE(acknowledged.empty());
  EXPECT_EQ(lost, 0);
  // Wine's own change is there too: nothing of ours overwrote it.
  EXPECT_TRUE(RegValueExists(after, kHkeyLocalMachine, "Software\\PurgeletStream", "wine"));
}

// Adds `count` entries "App00000"... to the prefix's 64-bit Uninstall key, as Wine writes them.
void AddEntries(const std::string& prefix, int count) {
  WineHive hive;
  ASSERT_TRUE(ParseWineRegistry(test::ReadFile(prefix + "/system.reg"), hive).Understood());
  RegKey* uninstall = FindRegKey(hive.root.get(), kUninstall);
  ASSERT_NE(uninstall, nullptr);
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "App%05d", i);
    RegKey& key = uninstall->EnsureSubKey(std::u16string(name, name + std::strlen(name)));
    key.modified = 0x1da1747c66d0000;
    const std::string display = std::string("Program number ") + name;
    key.SetValue(u"DisplayName", kRegSz,
                 TextToRegData(std::u16string(display.begin(), display.end())));
    key.SetValue(u"UninstallString", kRegSz, TextToRegData(u"C:\\Program Files\\x\\un.exe"));
    key.SetValue(u"Publisher", kRegSz, TextToRegData(u"Purgelet tests"));
  }
  test::WriteFile(prefix + "/system.reg", WriteWineRegistry(hive));
}

// Watches the prefix for the temporary file of a registry save and starts Wine the moment one
// appears, so that its server starts while the save goes on. Every removal that pgl-cli reports
// as done must still be done once that server has written the registry back.
TEST(WriteSafetyE2E, WineStartingDuringARemovalNeverLetsItPassAsDone) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  AddEntries(prefix, 20000);
  const int rounds = 6;
  int removed = 0, refused = 0, lies = 0, raced = 0;
  for (int round = 0; round < rounds; ++round) {
    char key[16];
    std::snprintf(key, sizeof key, "App%05d", round * 97);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, prefix.c_str(), IN_CREATE), 0);
    const std::string value = "r" + std::to_string(round);
    const e2e::Spawned cli =
        e2e::Spawn({PGL_CLI_PATH, "remove", "--yes", key}, e2e::WineEnvironment(prefix));
    bool wineStarted = false;
    e2e::Spawned wine;
    for (int waited = 0; !wineStarted && waited < 30000; waited += 5) {
      pollfd p{watch, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) {
        if (::waitpid(cli.pid, nullptr, WNOHANG) != 0) break;  // ended without a save
        continue;
      }
      alignas(inotify_event) char events[4096];
      const ssize_t n = ::read(watch, events, sizeof events);
      for (ssize_t at = 0; n > 0 && at < n && !wineStarted;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->len > 0 && std::string(event->name).starts_with("system.reg.pgl-")) {
          wine = e2e::Spawn(
              {"wine", "reg", "add", "HKLM\\Software\\PurgeletRace", "/v", value, "/d", "x", "/f"},
              e2e::WineEnvironment(prefix));
          wineStarted = true;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    ::close(watch);
    const e2e::RunResult r = e2e::Finish(cli);
    if (wineStarted) {
      ++raced;
      e2e::Finish(wine);
    }
    e2e::WaitForServer(prefix);
    WinePrefixRegistry after(prefix);
    const bool gone = !RegKeyExists(after, kHkeyLocalMachine, kUninstall + key);
    const bool saidRemoved = r.exitCode == 0 && r.output.find("Removed:") != std::string::npos;
    removed += saidRemoved;
    refused += r.exitCode != 0;
    if (saidRemoved && !gone) {
      ++lies;
      ADD_FAILURE() << "round " << round << ": reported removed, but Wine put it back\n"
                    << r.output;
    }
    if (wineStarted) {
      EXPECT_TRUE(RegValueExists(after, kHkeyLocalMachine, "Software\\PurgeletRace", value))
          << "round " << round << ": Wine's own change was lost";
    }
  }
  std::printf("rounds: %d, Wine started during the save in %d; removed %d, refused %d, lies %d\n",
              rounds, raced, removed, refused, lies);
  EXPECT_GT(raced, 0);
  EXPECT_EQ(lies, 0);
}

}  // namespace
}  // namespace pgl
