// The Windows build's pgl-cli.exe, run by Wine, against the Linux build's pgl-cli on the same
// prefix: programs installed by real NSIS and MSI packages plus the demo's entries in all three
// places with their usage records.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"

namespace pgl {
namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Standard output alone (notes on standard error are left out), of the Linux build or, through
// Wine, of the Windows build.
e2e::RunResult Output(const std::string& prefix, bool windows, std::vector<std::string> args,
                      const std::string& outFile) {
  std::vector<std::string> argv{"sh", "-c", "out=$1; shift; exec \"$@\" > \"$out\"", "sh", outFile};
  if (windows) argv.push_back("wine");
  argv.push_back(windows ? PGL_WINDOWS_CLI : PGL_CLI_PATH);
  argv.insert(argv.end(), args.begin(), args.end());
  e2e::RunResult r = e2e::Run(argv, e2e::WineEnvironment(prefix));
  e2e::WaitForServer(prefix);
  r.output = test::ReadFile(outFile) + "\n--- stderr and the exit code ---\n" + r.output;
  return r;
}

// "11/29/26" (Linux, C locale) and "11/29/2026" (Windows, English) as month, day and the
// year's last two digits.
std::string SameDate(const std::string& text) {
  int month = 0, day = 0, year = 0;
  if (std::sscanf(text.c_str(), "%d/%d/%d", &month, &day, &year) != 3) return "<" + text + ">";
  return std::to_string(month) + "-" + std::to_string(day) + "-" + std::to_string(year % 100);
}

std::string MessageAfter(const std::string& output, const std::string& marker) {
  const auto at = output.find(marker);
  if (at == std::string::npos) return {};
  const auto start = at + marker.size();
  return output.substr(start, output.find('\n', start) - start);
}

class WindowsBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = e2e::NewPrefixWithPrograms(dir_ / "p", true);
    const auto r = e2e::RunWine(prefix_, {"regedit", "/s", e2e::WinePath(PGL_DEMO_ENTRIES)});
    ASSERT_EQ(r.exitCode, 0) << r.output;
  }
  test::TempDir dir_;
  std::string prefix_;
};

TEST_F(WindowsBuild, ListsTheSameEntriesAndWritesTheSameBackup) {
  const auto linux = Output(prefix_, false, {"list", "--system-components"}, dir_ / "linux.txt");
  const auto windows = Output(prefix_, true, {"list", "--system-components"}, dir_ / "windows.txt");
  ASSERT_EQ(linux.exitCode, 0) << linux.output;
  ASSERT_EQ(windows.exitCode, 0) << windows.output;
  const auto a = e2e::TabSeparatedLines(test::ReadFile(dir_ / "linux.txt"));
  const auto b = e2e::TabSeparatedLines(test::ReadFile(dir_ / "windows.txt"));
  ASSERT_GT(a.size(), 25u);  // the captions, both installed programs and the demo's entries
  ASSERT_EQ(a.size(), b.size()) << windows.output;
  const auto& captions = a.front();
  const auto lastUsed = std::find(captions.begin(), captions.end(), "Last used") - captions.begin();
  ASSERT_LT(static_cast<std::size_t>(lastUsed), captions.size());
  int dates = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i].size(), b[i].size()) << i;
    for (std::size_t c = 0; c < a[i].size(); ++c) {
      // The dates are written in each system's own short format: the same day either way.
      if (static_cast<std::ptrdiff_t>(c) == lastUsed && i > 0 && !a[i][c].empty() &&
          a[i][c] != "n/a") {
        EXPECT_EQ(SameDate(a[i][c]), SameDate(b[i][c])) << a[i].back();
        ++dates;
      } else {
        EXPECT_EQ(a[i][c], b[i][c]) << captions[c] << " of " << a[i].back();
      }
    }
  }
  EXPECT_GT(dates, 10);

  const auto linuxBackup = Output(prefix_, false, {"backup", dir_ / "linux.reg"}, dir_ / "o1");
  const auto windowsBackup =
      Output(prefix_, true, {"backup", e2e::WinePath(dir_ / "windows.reg")}, dir_ / "o2");
  ASSERT_EQ(linuxBackup.exitCode, 0) << linuxBackup.output;
  ASSERT_EQ(windowsBackup.exitCode, 0) << windowsBackup.output;
  const std::string bytes = test::ReadFile(dir_ / "linux.reg");
  EXPECT_GT(bytes.size(), 10000u);
  EXPECT_TRUE(bytes == test::ReadFile(dir_ / "windows.reg")) << "the two backups differ";
}

TEST_F(WindowsBuild, UninstallsForRealAndReportsAMissingUninstaller) {
  const auto done =
      Output(prefix_, true, {"uninstall", "--yes", "PurgeletDemo"}, dir_ / "uninstall.txt");
  EXPECT_EQ(done.exitCode, 0) << done.output;
  EXPECT_NE(
      done.output.find("Uninstalled: Purgelet Demo Café (HKLM\\" + kUninstall + "PurgeletDemo)"),
      std::string::npos)
      << done.output;
  {
    WinePrefixRegistry registry(prefix_);
    EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, kUninstall + "PurgeletDemo"));
  }
  EXPECT_FALSE(
      std::filesystem::exists(prefix_ + "/drive_c/Program Files/Purgelet Demo PurgeletDemo"));

  const std::string missing = "HKLM\\" + kUninstall + "PglMissing";
  const auto import = e2e::RunWine(prefix_, {"reg", "add", missing, "/v", "UninstallString", "/d",
                                             "C:\\nope\\missing.exe /x", "/f"});
  ASSERT_EQ(import.exitCode, 0) << import.output;
  const auto windows = Output(prefix_, true, {"uninstall", "--yes", "PglMissing"}, dir_ / "w.txt");
  const auto linux = Output(prefix_, false, {"uninstall", "--yes", "PglMissing"}, dir_ / "l.txt");
  EXPECT_EQ(windows.exitCode, 1) << windows.output;
  EXPECT_EQ(linux.exitCode, 1) << linux.output;
  const std::string failed = "Command failed: C:\\nope\\missing.exe /x\nError no.: 2\nMessage: ";
  ASSERT_NE(windows.output.find(failed), std::string::npos) << windows.output;
  // The system's own text for error 2, the same from both builds.
  const std::string message = MessageAfter(windows.output, failed);
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(message, MessageAfter(linux.output, failed));
}

}  // namespace
}  // namespace pgl
