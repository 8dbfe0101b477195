// How the Wine desktop opens things for the window: the registry editor at a key (and a second
// jump closing the first editor), and files through their Linux path.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <chrono>
#include <thread>

#include "TestSupport.h"
#include "platform/wine/WineDesktop.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"

namespace pgl {
namespace {

// A platform that finds no file; only C:\App is somewhere.
class NoFiles : public Platform {
 public:
  std::string ExpandEnvironmentStrings(std::string_view text) const override {
    return std::string(text);
  }
  std::optional<std::string> SearchPath(std::string_view) const override { return {}; }
  bool FileExists(std::string_view) const override { return false; }
  std::optional<std::string> LocalPath(std::string_view path) const override {
    if (path == "C:\\App") return "/prefix/drive_c/App";
    return {};
  }
};

TEST(WineDesktop, RegistryEditorOpensAtTheKey) {
  const std::string key =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
      "Uninstall\\My \"App\" 2";
  for (const bool serverRuns : {false, true}) {
    MemoryRegistry registry;
    NoFiles platform;
    WineDesktop desktop("/prefix", platform, registry, "/opt/wine/bin/wine");
    std::vector<std::vector<std::string>> ran;
    desktop.run = [&](std::vector<WineDesktop::Command> steps) {
      // The editor still open from an earlier jump is closed first.
      ASSERT_FALSE(steps.empty());
      EXPECT_TRUE(steps.front().closeEditor);
      for (const auto& step : steps) {
        if (step.closeEditor) continue;
        EXPECT_TRUE(step.inPrefix);
        ran.push_back(step.argv);
      }
      EXPECT_TRUE(steps.back().editor);
    };
    desktop.serverRunning = [&] { return serverRuns; };
    ASSERT_TRUE(desktop.JumpToRegistryKey(key));
    TRegistry reg(registry);
    reg.SetRootKey(kHkeyCurrentUser);
    if (serverRuns) {
      // The running server owns the registry: the value goes through Wine's reg.exe, whole.
      EXPECT_FALSE(reg.KeyExists(kRegeditKey));
      ASSERT_EQ(ran.size(), 2u);
      EXPECT_EQ(ran[0],
                (std::vector<std::string>{"/opt/wine/bin/wine", "reg", "add",
                                          std::string("HKEY_CURRENT_USER\\") + kRegeditKey, "/v",
                                          "LastKey", "/t", "REG_SZ", "/d", key, "/f"}));
    } else {
      ASSERT_TRUE(reg.OpenKeyReadOnly(kRegeditKey));
      EXPECT_EQ(reg.ReadString("LastKey"), key);
      ASSERT_EQ(ran.size(), 1u);
    }
    EXPECT_EQ(ran.back(), (std::vector<std::string>{"/opt/wine/bin/wine", "regedit"}));
  }
}

// Jumping to another key while the editor we started is still open closes that one first:
// one editor at a time. (A shell script stands in for Wine: "regedit" sleeps.)
TEST(WineDesktop, ASecondJumpClosesTheEditorOfTheFirst) {
  test::TempDir dir;
  const std::string wine = dir / "wine";
  test::WriteFile(wine, "#!/bin/sh\nexec sleep 30\n");
  ::chmod(wine.c_str(), 0755);
  MemoryRegistry registry;
  NoFiles platform;
  WineDesktop desktop(dir.Path(), platform, registry, wine);
  desktop.serverRunning = [] { return false; };
  const auto editorOtherThan = [&](pid_t old) {
    for (int i = 0; i < 500; ++i) {
      const pid_t pid = desktop.EditorPid();
      if (pid > 0 && pid != old) return pid;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid_t{-1};
  };
  ASSERT_TRUE(desktop.JumpToRegistryKey("HKEY_CURRENT_USER\\A"));
  const pid_t first = editorOtherThan(-1);
  ASSERT_GT(first, 0);
  ASSERT_TRUE(desktop.JumpToRegistryKey("HKEY_CURRENT_USER\\B"));
  const pid_t second = editorOtherThan(first);
  ASSERT_GT(second, 0);
  EXPECT_NE(::kill(first, 0), 0);  // the first editor is gone
  EXPECT_EQ(::kill(second, 0), 0);
  ::kill(second, SIGTERM);
  for (int i = 0; i < 500 && desktop.EditorPid() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

TEST(WineDesktop, FilesOpenThroughTheirLinuxPath) {
  MemoryRegistry registry;
  NoFiles platform;
  WineDesktop desktop("/prefix", platform, registry);
  std::vector<std::vector<std::string>> ran;
  desktop.run = [&](std::vector<WineDesktop::Command> steps) {
    for (const auto& step : steps) ran.push_back(step.argv);
  };
  EXPECT_TRUE(desktop.OpenFile("C:\\App"));
  EXPECT_FALSE(desktop.OpenFile("C:\\Missing"));
  EXPECT_TRUE(desktop.OpenAddress("https://example.com"));
  EXPECT_EQ(ran, (std::vector<std::vector<std::string>>{{"xdg-open", "/prefix/drive_c/App"},
                                                        {"xdg-open", "https://example.com"}}));
}

}  // namespace
}  // namespace pgl
