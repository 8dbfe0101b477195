// No save that was reported as done is lost to a wineserver: one started with another
// TMPDIR, or one that starts while saves go on.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"

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

}  // namespace
}  // namespace pgl
