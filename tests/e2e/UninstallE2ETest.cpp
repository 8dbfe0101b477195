// pgl-cli uninstall, remove and backup on real prefixes with programs installed by real NSIS
// and MSI packages.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <thread>

#include <filesystem>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"

namespace pgl {
namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kUninstall32 =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kMsiCode = "{3C5B7A91-2D4E-4F60-8A1B-9C0D1E2F3A4B}";

bool MachineKeyExists(const std::string& prefix, const std::string& path) {
  WinePrefixRegistry registry(prefix);
  return RegKeyExists(registry, kHkeyLocalMachine, path);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Imports a REGEDIT4 text with Wine's regedit.
void Import(const std::string& prefix, const std::string& file, const std::string& text) {
  test::WriteFile(file, text);
  const auto r = e2e::RunWine(prefix, {"regedit", "/s", e2e::WinePath(file)});
  ASSERT_EQ(r.exitCode, 0) << r.output;
}

TEST(Uninstall, RelaunchingUninstallersRunToTheirEndOneAfterTheOther) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  for (const char* key : {"SlowA", "SlowB"}) {
    const auto r = e2e::RunWine(
        prefix, {e2e::NsisInstaller(key, false, {"UNSLEEP=3000", "ORDERLOG=C:\\order.log"})});
    ASSERT_EQ(r.exitCode, 0) << r.output;
  }
  const auto r = e2e::Cli(prefix, {"uninstall", "SlowA", "SlowB", "--yes"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // Each uninstaller's copy finished before the next one started...
  EXPECT_EQ(test::ReadFile(prefix + "/drive_c/order.log"),
            "start SlowA\r\nend SlowA\r\nstart SlowB\r\nend SlowB\r\n");
  // ...and when pgl-cli returns, the registry file shows it.
  for (const char* key : {"SlowA", "SlowB"}) {
    EXPECT_FALSE(MachineKeyExists(prefix, kUninstall + key)) << key;
    EXPECT_FALSE(std::filesystem::exists(prefix + "/drive_c/Program Files/Purgelet Demo " + key));
    EXPECT_TRUE(Contains(
        r.output, std::string("Uninstalled: Purgelet Demo Café (HKLM\\") + kUninstall + key + ")"));
  }
}

TEST(Uninstall, StoppingTheWaitLeavesTheUninstallerRunningAndFails) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  const auto install = e2e::RunWine(
      prefix, {e2e::NsisInstaller("Slower", false, {"UNSLEEP=6000", "ORDERLOG=C:\\order.log"})});
  ASSERT_EQ(install.exitCode, 0) << install.output;
  std::vector<std::string> argv{PGL_CLI_PATH, "uninstall", "--yes", "Slower"};
  const e2e::Spawned cli = e2e::Spawn(argv, e2e::WineEnvironment(prefix));
  const std::string log = prefix + "/drive_c/order.log";
  for (int i = 0; i < 300 && !std::filesystem::exists(log); ++i) ::usleep(100000);
  ASSERT_TRUE(std::filesystem::exists(log));
  ::kill(cli.pid, SIGINT);  // Ctrl+C: stop waiting for this uninstaller
  const auto r = e2e::Finish(cli);
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_TRUE(Contains(r.output, "Error: Stopped waiting for the uninstaller")) << r.output;
  // The uninstaller itself went on to its end.
  e2e::WaitForServer(prefix);
  EXPECT_EQ(test::ReadFile(log), "start Slower\r\nend Slower\r\n");
  EXPECT_FALSE(MachineKeyExists(prefix, kUninstall + "Slower"));
}

TEST(Uninstall, MsiPackageThroughMsiExec) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", true);
  {
    // The quiet removal that MSI packages commonly register.
    WinePrefixRegistry registry(prefix);
    ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, kUninstall + kMsiCode,
                               "UninstallString", "MsiExec.exe /X" + kMsiCode + " /qn"));
  }
  const std::string file = prefix + "/drive_c/Program Files/Purgelet MSI Demo/readme.txt";
  ASSERT_TRUE(std::filesystem::exists(file));
  const auto r = e2e::Cli(prefix, {"uninstall", "--yes", "HKLM\\" + kUninstall + kMsiCode});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_FALSE(MachineKeyExists(prefix, kUninstall + kMsiCode));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(MachineKeyExists(prefix, kUninstall + "PurgeletDemo"));  // not chosen
}

// As msiexec registers it ("MsiExec.exe /I{GUID}", a maintenance run that repairs a package
// without a maintenance dialog), the entry's uninstall removes the product.
TEST(Uninstall, MsiPackageAsRegisteredIsRemovedNotRepaired) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", true);
  {
    WinePrefixRegistry registry(prefix);
    TRegistry reg(registry);
    reg.SetRootKey(kHkeyLocalMachine);
    ASSERT_TRUE(reg.OpenKeyReadOnly(kUninstall + kMsiCode));
    ASSERT_EQ(reg.ReadString("UninstallString"), "MsiExec.exe /I" + kMsiCode);
  }
  const std::string file = prefix + "/drive_c/Program Files/Purgelet MSI Demo/readme.txt";
  const auto r = e2e::Cli(prefix, {"uninstall", "--yes", "--", kMsiCode});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_FALSE(MachineKeyExists(prefix, kUninstall + kMsiCode));
  EXPECT_FALSE(std::filesystem::exists(file));
}

// Unattended: two NSIS programs and the MSI package go with --quiet (NSIS's /S, msiexec's /qn),
// within a bounded time; a program without a quiet command is left and reported.
TEST(Uninstall, AQuietBatchRunsToItsEndUnattended) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", true);
  ASSERT_EQ(e2e::RunWine(prefix, {e2e::NsisInstaller("QuietB", false)}).exitCode, 0);
  {
    WinePrefixRegistry registry(prefix);
    ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, kUninstall + "NoQuiet",
                               "UninstallString", "C:\\windows\\notepad.exe"));
  }
  const e2e::Spawned cli = e2e::Spawn({PGL_CLI_PATH, "uninstall", "--quiet", "--yes", "--format",
                                       "json", "--", "PurgeletDemo", "QuietB", kMsiCode, "NoQuiet"},
                                      e2e::WineEnvironment(prefix));
  // An uninstaller that shows a window and waits would never end: the test does not wait for it.
  int waited = 0;
  while (::waitpid(cli.pid, nullptr, WNOHANG) == 0 && waited < 240) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ++waited;
  }
  if (waited >= 240) {
    ::kill(cli.pid, SIGKILL);
    FAIL() << "the quiet batch did not end";
  }
  const std::string output = test::ReadFile(cli.outFile);
  for (const std::string& key : {std::string("PurgeletDemo"), std::string("QuietB"), kMsiCode})
    EXPECT_FALSE(MachineKeyExists(prefix, kUninstall + key)) << key << "\n" << output;
  EXPECT_FALSE(std::filesystem::exists(prefix + "/drive_c/Program Files/Purgelet MSI Demo"));
  EXPECT_FALSE(std::filesystem::exists(prefix + "/drive_c/Program Files/Purgelet Demo QuietB"));
  EXPECT_TRUE(MachineKeyExists(prefix, kUninstall + "NoQuiet"));
  EXPECT_TRUE(Contains(output, "\"outcome\": \"no_quiet_command\"")) << output;
}

TEST(Uninstall, FailuresAreReportedAndFailTheCommand) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  // A 32-bit uninstaller: a real 32-bit NSIS program.
  const std::string oldDir = prefix + "/drive_c/Old App";
  std::filesystem::create_directories(oldDir);
  std::filesystem::copy_file(e2e::NsisInstaller("Old", false, {"TARGET32"}),
                             oldDir + "/uninstall.exe");
  Import(prefix, dir / "entries.reg",
         "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + kUninstall +
             "Missing]\r\n\"DisplayName\"=\"Missing File\"\r\n"
             "\"UninstallString\"=\"C:\\\\nope\\\\missing.exe /x\"\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\" +
             kUninstall +
             "NoCommand]\r\n\"DisplayName\"=\"No Command\"\r\n\r\n"
             "[HKEY_LOCAL_MACHINE\\" +
             kUninstall +
             "Old]\r\n\"DisplayName\"=\"Old App\"\r\n"
             "\"UninstallString\"=\"\\\"C:\\\\Old App\\\\uninstall.exe\\\"\"\r\n");
  const auto r = e2e::Cli(prefix, {"uninstall", "--yes", "Missing", "NoCommand", "Old"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(Contains(r.output,
                       "Application: Missing File\nCommand failed: C:\\nope\\missing.exe /x\n"
                       "Error no.: 2\nMessage: "))
      << r.output;
  EXPECT_TRUE(Contains(r.output, "Application: No Command\nError: Uninstall command is missing!"));
  if (!e2e::Wine32Works(prefix)) {
    EXPECT_TRUE(Contains(r.output,
                         "Application: Old App\nError: The uninstaller is a 32-bit "
                         "Windows program and this Wine cannot run 32-bit programs"))
        << r.output;
  }
  for (const char* name : {"Missing File", "No Command", "Old App"})
    EXPECT_TRUE(Contains(r.output, std::string("Still installed: ") + name)) << name;
  // The system's text for code 2, as Wine gives it.
  EXPECT_TRUE(Contains(r.output, "Message: File not found")) << r.output;
}

class ThreePlaces : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix = e2e::NewPrefix(dir / "p");
    const std::string m = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\";
    const std::string v = "Microsoft\\Windows\\CurrentVersion\\";
    Import(prefix, dir / "places.reg",
           "REGEDIT4\r\n\r\n" + m + v + "Uninstall\\Dup]\r\n\"DisplayName\"=\"Dup 64\"\r\n\r\n" +
               m + v + "Uninstall\\Native]\r\n\"DisplayName\"=\"Native\"\r\n\r\n" + m + v +
               "App Management\\ARPCache\\Dup]\r\n\"x\"=\"64\"\r\n\r\n" + m + "Wow6432Node\\" + v +
               "Uninstall\\Dup]\r\n\"DisplayName\"=\"Dup 32\"\r\n\r\n" + m + "Wow6432Node\\" + v +
               "Uninstall\\Dup\\Sub]\r\n\"Deep\"=hex:01,02\r\n\r\n" + m + "Wow6432Node\\" + v +
               "App Management\\ARPCache\\Dup]\r\n\"x\"=\"32\"\r\n\r\n" + m + "Wow6432Node\\" + v +
               "Uninstall\\Old32]\r\n\"DisplayName\"=\"Old 32\"\r\n\"Count\"=dword:00000020\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\" +
               v + "Uninstall\\Dup]\r\n\"DisplayName\"=\"Dup user\"\r\n\r\n" +
               "[HKEY_CURRENT_USER\\Software\\" + v +
               "Uninstall\\Mine]\r\n\"DisplayName\"=\"Mine\"\r\n\"Path\"=hex(2):25,00\r\n");
  }

  std::vector<std::string> Keys(const std::string& p) {
    const auto r = e2e::Cli(p, {"list"});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> keys;
    std::size_t start = r.output.find('\n') + 1;
    while (start < r.output.size()) {
      const std::size_t end = r.output.find('\n', start);
      const std::string line = r.output.substr(start, end - start);
      keys.push_back(line.substr(line.rfind('\t') + 1));
      start = end + 1;
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  test::TempDir dir;
  std::string prefix;
};

const std::string kM = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kM32 =
    "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kU = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST_F(ThreePlaces, ListedRemovedAndBackedUpEachWithItsOwnKeys) {
  EXPECT_EQ(Keys(prefix), (std::vector<std::string>{kU + "Dup", kU + "Mine", kM + "Dup",
                                                    kM + "Native", kM32 + "Dup", kM32 + "Old32"}));
  // A key name found in more than one place is refused, naming the candidates.
  const auto ambiguous = e2e::Cli(prefix, {"remove", "--yes", "dup"});
  EXPECT_EQ(ambiguous.exitCode, 2);
  EXPECT_TRUE(Contains(ambiguous.output, kM32 + "Dup\tDup 32")) << ambiguous.output;

  const auto removed = e2e::Cli(prefix, {"remove", "--yes", kM32 + "Dup"});
  EXPECT_EQ(removed.exitCode, 0) << removed.output;
  {
    WinePrefixRegistry registry(prefix);
    const std::string wow = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string nat = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
    EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, wow + "Uninstall\\Dup"));
    EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, wow + "App Management\\ARPCache\\Dup"));
    EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, nat + "Uninstall\\Dup"));
    EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, nat + "App Management\\ARPCache\\Dup"));
    EXPECT_TRUE(RegKeyExists(registry, kHkeyCurrentUser,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Dup"));
  }
  // Wine itself sees the change.
  const auto query = e2e::RunWine(prefix, {"reg", "query", "HKLM\\" + kM32.substr(5) + "Dup"});
  EXPECT_NE(query.exitCode, 0) << query.output;

  // The backup of all three places restores them in a fresh prefix.
  const std::string backup = dir / "backup.reg";
  const auto b = e2e::Cli(prefix, {"backup", backup});
  ASSERT_EQ(b.exitCode, 0) << b.output;
  test::TempDir other;
  const std::string fresh = e2e::NewPrefix(other / "fresh");
  const std::vector<std::string> import{"regedit", "/s", e2e::WinePath(backup)};
  auto imported = e2e::RunWine(fresh, import);
  // On a busy machine Wine now and then ends a program it has just started in a new prefix,
  // saying nothing; a second start imports the same file.
  if (imported.exitCode != 0 && imported.output.empty()) imported = e2e::RunWine(fresh, import);
  ASSERT_EQ(imported.exitCode, 0) << imported.output;
  EXPECT_EQ(Keys(fresh), Keys(prefix));
  const auto source = e2e::Cli(prefix, {"backup", "-"});
  const auto restored = e2e::Cli(fresh, {"backup", "-"});
  EXPECT_EQ(restored.output, source.output);
  EXPECT_TRUE(Contains(source.output, "\"Count\"=dword:00000020"));
}

// Backup, remove every entry, restore: Wine's own export of the keys is the same as before,
// hostile names and values included, and so is the list.
TEST_F(ThreePlaces, ARestoreGivesBackEveryRemovedEntryValueForValue) {
  {
    WinePrefixRegistry registry(prefix);
    ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, kUninstall + "Odd [\"x\"] ż",
                               "Va\\l\"ue ]", "tab\there\r\nline ż 中 \\\""));
  }
  const std::vector<std::string> exported = {
      "HKEY_LOCAL_MACHINE\\" + kUninstall.substr(0, kUninstall.size() - 1),
      "HKEY_LOCAL_MACHINE\\" + kUninstall32.substr(0, kUninstall32.size() - 1),
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
      "Management\\ARPCache",
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App "
      "Management\\ARPCache"};
  const auto wineExport = [&] {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < exported.size(); ++i) {
      const std::string file = dir / ("e" + std::to_string(i) + ".reg");
      const auto r = e2e::RunWine(prefix, {"regedit", "/e", e2e::WinePath(file), exported[i]});
      EXPECT_EQ(r.exitCode, 0) << exported[i] << r.output;
      texts.push_back(test::ReadFile(file));
    }
    return texts;
  };
  const auto before = wineExport();
  const auto keys = Keys(prefix);
  const std::string backup = dir / "backup.reg";
  ASSERT_EQ(e2e::Cli(prefix, {"backup", backup}).exitCode, 0);
  std::vector<std::string> removeArgs{"remove", "--yes", "--"};
  removeArgs.insert(removeArgs.end(), keys.begin(), keys.end());
  ASSERT_EQ(e2e::Cli(prefix, removeArgs).exitCode, 0);
  ASSERT_TRUE(Keys(prefix).empty());
  const auto restored = e2e::Cli(prefix, {"restore", "--yes", backup});
  EXPECT_EQ(restored.exitCode, 0) << restored.output;
  EXPECT_TRUE(Contains(restored.output, "Added back: Old 32 (" + kM32 + "Old32)"))
      << restored.output;
  EXPECT_EQ(Keys(prefix), keys);
  EXPECT_EQ(wineExport(), before);
  // A second restore finds nothing to do.
  const auto again = e2e::Cli(prefix, {"restore", "--yes", backup});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_TRUE(Contains(again.output, "Nothing to restore.")) << again.output;
}

TEST_F(ThreePlaces, RemoveChangesNothingWhileWineRuns) {
  ASSERT_EQ(e2e::Run({"wineserver", "-p"}, e2e::WineEnvironment(prefix)).exitCode, 0);
  const auto r = e2e::Cli(prefix, {"remove", "--yes", "Native"});
  e2e::Run({"wineserver", "-k"}, e2e::WineEnvironment(prefix));
  e2e::WaitForServer(prefix);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Contains(r.output, "Not removed: Native (" + kM + "Native)")) << r.output;
  EXPECT_TRUE(Contains(r.output, "Wine is running in this prefix")) << r.output;
  EXPECT_FALSE(Contains(r.output, "Removed:"));
  EXPECT_TRUE(MachineKeyExists(prefix, kUninstall + "Native"));
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

// A bottle whose runner is a folder of its own: its bin/wine wraps the system's Wine and
// records each use. The uninstaller must run through it, and a bottle whose runner is gone
// must run nothing.
TEST(Uninstall, APrefixRunsWithItsFrontEndsWine) {
  test::TempDir home;
  const std::string bottles = home / ".local/share/bottles";
  const std::string bottle = bottles + "/bottles/Demo";
  test::MakeDirs(bottles + "/bottles");
  e2e::NewPrefixWithPrograms(bottle, false);
  test::WriteFile(bottle + "/bottle.yml", "Name: Demo bottle\nRunner: wrapped-1\n");
  const std::string log = home / "runner.log";
  const std::string wrapper = bottles + "/runners/wrapped-1/bin/wine";
  test::MakeDirs(bottles + "/runners/wrapped-1/bin");
  test::WriteFile(wrapper, "#!/bin/sh\necho \"$@\" >> '" + log + "'\nexec wine \"$@\"\n");
  ASSERT_EQ(::chmod(wrapper.c_str(), 0755), 0);

  e2e::EnvList env = e2e::WineEnvironment(bottle);
  env.emplace_back("HOME", home.Path());
  const auto listed = e2e::Run({PGL_CLI_PATH, "prefixes"}, env);
  EXPECT_NE(listed.output.find("Demo bottle\tBottles\twin64\t1\t" + bottle), std::string::npos)
      << listed.output;

  const auto r =
      e2e::Run({PGL_CLI_PATH, "uninstall", "--yes", "PurgeletDemo", "--prefix", bottle}, env);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(test::ReadFile(log).find("pgl-launcher.exe"), std::string::npos);
  EXPECT_FALSE(MachineKeyExists(bottle, kUninstall + "PurgeletDemo"));

  // The runner is gone: nothing runs, and pgl-cli says why.
  const std::string second = home / ".local/share/bottles/bottles/Second";
  e2e::NewPrefixWithPrograms(second, false);
  test::WriteFile(second + "/bottle.yml", "Name: Second\nRunner: gone-2\n");
  const auto refused =
      e2e::Run({PGL_CLI_PATH, "uninstall", "--yes", "PurgeletDemo", "--prefix", second}, env);
  EXPECT_EQ(refused.exitCode, 1) << refused.output;
  EXPECT_TRUE(Contains(refused.output, "another Wine could upgrade or break this prefix"))
      << refused.output;
  EXPECT_TRUE(MachineKeyExists(second, kUninstall + "PurgeletDemo"));
}

}  // namespace
}  // namespace pgl
