// The uninstall loop against a scripted runner, the error list and its log, and the
// launcher's report.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "TestSupport.h"
#include "inventory/ErrorList.h"
#include "inventory/UninstallEngine.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WineProcessRunner.h"

namespace pgl {
namespace {

// Runs nothing: answers what the test scripted for each command line, and records the calls.
class ScriptedRunner : public ProcessRunner {
 public:
  RunOutcome RunAndWait(const std::string& commandLine,
                        const std::function<bool()>& stopWaiting) override {
    ran.push_back(commandLine);
    if (waitForStop) {
      while (!stopWaiting()) {
      }
      return {RunOutcome::Kind::StoppedWaiting, 0, {}, 0};
    }
    const auto it = outcomes.find(commandLine);
    return it == outcomes.end() ? RunOutcome{} : it->second;
  }
  bool CanRun(PeMachine machine) override { return machine != PeMachine::X86 || wine32; }
  bool WaitUntilRegistrySaved(const std::function<bool(int)>& keepWaiting) override {
    ++settles;
    return keepWaiting(0);
  }

  std::vector<std::string> ran;
  std::map<std::string, RunOutcome> outcomes;
  bool wine32 = false, waitForStop = false;
  int settles = 0;
};

class CountingRegistry : public MemoryRegistry {
 public:
  bool Refresh() override {
    ++refreshes;
    return false;
  }
  int refreshes = 0;
};

class StopAfter : public UninstallObserver {
 public:
  bool StopWaiting() override { return ++asked > 3; }
  int asked = 0;
};

// A PE header of the given machine and optional-header magic, padded to a small file.
std::string PeFile(std::uint16_t machine, std::uint16_t magic) {
  std::string b(512, '\0');
  b[0] = 'M', b[1] = 'Z', b[0x3C] = 0x40;
  b.replace(0x40, 4, std::string("PE\0\0", 4));
  b[0x44] = static_cast<char>(machine & 0xFF), b[0x45] = static_cast<char>(machine >> 8);
  b[0x58] = static_cast<char>(magic & 0xFF), b[0x59] = static_cast<char>(magic >> 8);
  return b;
}

TUninstallInfo Entry(const std::string& name, const std::string& uninstall,
                     const std::string& quiet = "", const std::string& modify = "") {
  TUninstallInfo info;
  info.KeyName = name;
  info.DisplayName = name;
  info.UninstallString = uninstall;
  info.QuietUninstallString = quiet;
  info.ModifyPath = modify;
  return info;
}

class UninstallEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakePrefixDirs(dir.Path());
    test::MakeWindowsFile(dir.Path(), "C:\\Apps\\x86.exe", PeFile(0x14C, 0x10B));
    test::MakeWindowsFile(dir.Path(), "C:\\Apps\\x64.exe", PeFile(0x8664, 0x20B));
    ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, test::kBasicMachineRegistry));
    platform = std::make_unique<WinePlatform>(dir.Path(), registry);
  }

  UninstallBatch Run(const std::vector<TUninstallInfo>& entries,
                     Language lang = Language::English) {
    UninstallEngine engine(registry, *platform, runner, errors);
    errors.ClearErrors();  // as the caller of a batch does
    return engine.Run(entries, lang, observer);
  }

  test::TempDir dir;
  CountingRegistry registry;
  std::unique_ptr<WinePlatform> platform;
  ScriptedRunner runner;
  TErrorList errors{dir / "pgl_Errors.log", [] { return std::time_t{86400 * 365}; }};
  UninstallObserver observer;
};

// Unattended: each entry's quiet command, a Windows Installer product's /qn removal, and for an
// entry with neither nothing at all, reported.
TEST_F(UninstallEngineTest, AQuietBatchRunsOnlyCommandsWithoutWindows) {
  UninstallEngine engine(registry, *platform, runner, errors);
  const std::vector<TUninstallInfo> entries = {
      Entry("Nsis", "\"C:\\Apps\\x64.exe\"", "\"C:\\Apps\\x64.exe\" /S"),
      Entry("Msi", "MsiExec.exe /I{AB-12}"),
      Entry("MsiModify", "", "", "msiexec /i {CD-34}"),
      Entry("Plain", "C:\\Apps\\x64.exe"),
  };
  const auto batch = engine.Run(entries, Language::English, observer, UninstallMode::Quiet);
  EXPECT_EQ(runner.ran,
            (std::vector<std::string>{"\"C:\\Apps\\x64.exe\" /S", "MsiExec.exe /X{AB-12} /qn",
                                      "MsiExec.exe /X{CD-34} /qn"}));
  ASSERT_EQ(batch.steps.size(), 4u);
  EXPECT_EQ(batch.steps[3].result, UninstallResult::MissingCommand);
  EXPECT_NE(errors.Text().find("Application: Plain\r\nError: There is no quiet uninstall command"),
            std::string::npos)
      << errors.Text();
  EXPECT_EQ(engine.WhyNotRun(entries[3], Language::English, UninstallMode::Quiet),
            "it has no quiet uninstall command");
  EXPECT_EQ(engine.WhyNotRun(entries[3], Language::English), "");
}

TEST_F(UninstallEngineTest, RunsInOrderAndReportsEachKindOfFailure) {
  runner.outcomes["C:\\Apps\\missing.exe /x"] = {RunOutcome::Kind::StartFailed, 2, "File not found",
                                                 0};
  runner.outcomes["broken"] = {RunOutcome::Kind::RunnerFailed, 0, "wine is missing", 0};
  const auto batch = Run({
      Entry("First", "\"C:\\Apps\\x64.exe\" /S"),
      Entry("NoCommand", ""),
      Entry("Blank", "  \t", "C:\\Apps\\x64.exe /quiet"),  // stored text decides: missing
      Entry("Quiet", "", "C:\\Apps\\x64.exe /quiet"),
      Entry("Modify", "", "", "C:\\Apps\\x64.exe /modify"),
      Entry("Missing", "C:\\Apps\\missing.exe /x"),
      Entry("Old", "C:\\Apps\\x86.exe"),
      Entry("Broken", "broken"),
  });
  EXPECT_EQ(runner.ran, (std::vector<std::string>{
                            "\"C:\\Apps\\x64.exe\" /S", "C:\\Apps\\x64.exe /quiet",
                            "C:\\Apps\\x64.exe /modify", "C:\\Apps\\missing.exe /x", "broken"}));
  std::vector<UninstallResult> results;
  for (const auto& step : batch.steps) results.push_back(step.result);
  using R = UninstallResult;
  EXPECT_EQ(results,
            (std::vector<R>{R::Finished, R::MissingCommand, R::MissingCommand, R::Finished,
                            R::Finished, R::StartFailed, R::NotRunnable, R::RunnerFailed}));
  EXPECT_EQ(errors.ErrorCount(), 5);
  const std::string text = errors.Text();
  EXPECT_NE(text.find("Application: NoCommand\r\nError: Uninstall command is missing!\r\n-----"),
            std::string::npos);
  EXPECT_NE(text.find("Application: Missing\r\nCommand failed: C:\\Apps\\missing.exe /x\r\n"
                      "Error no.: 2\r\nMessage: File not found\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("32-bit"), std::string::npos);
  EXPECT_NE(text.find("Message: wine is missing"), std::string::npos);
  // The registry is read again once, after the whole batch.
  EXPECT_EQ(runner.settles, 1);
  EXPECT_EQ(registry.refreshes, 1);

  // With 32-bit support the old uninstaller runs.
  runner.wine32 = true;
  Run({Entry("Old", "C:\\Apps\\x86.exe")}, Language::Polish);
  EXPECT_EQ(runner.ran.back(), "C:\\Apps\\x86.exe");
  EXPECT_EQ(errors.ErrorCount(), 0);
}

TEST_F(UninstallEngineTest, PolishTexts) {
  runner.outcomes["C:\\x.exe"] = {RunOutcome::Kind::StartFailed, 2, "Nie znaleziono", 0};
  Run({Entry("A", ""), Entry("B", "C:\\x.exe")}, Language::Polish);
  const std::string text = errors.Text();
  EXPECT_NE(text.find("Aplikacja: A\r\nBłąd: Brak polecenia deinstalacyjnego\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("Program: B\r\nNiepowodzenie: C:\\x.exe\r\nNr błędu: 2\r\n"
                      "Komunikat: Nie znaleziono\r\n"),
            std::string::npos);
  // Nothing ran: no wait for the registry.
  EXPECT_EQ(runner.settles, 0);
}

TEST_F(UninstallEngineTest, StoppingTheWaitIsNeverSuccess) {
  runner.waitForStop = true;
  StopAfter stop;
  UninstallEngine engine(registry, *platform, runner, errors);
  const auto batch = engine.Run({Entry("Slow", "C:\\Apps\\x64.exe")}, Language::English, stop);
  ASSERT_EQ(batch.steps.size(), 1u);
  EXPECT_EQ(batch.steps[0].result, UninstallResult::StoppedWaiting);
  EXPECT_EQ(errors.ErrorCount(), 1);
  EXPECT_NE(errors.Text().find("Stopped waiting"), std::string::npos);
  EXPECT_EQ(runner.settles, 1);  // it may have changed the registry all the same
}

TEST(UninstallCommand, AWindowsInstallerRepairBecomesARemoval) {
  const std::pair<std::string, std::string> cases[] = {
      {"MsiExec.exe /I{3C5B7A91-2D4E-4F60-8A1B-9C0D1E2F3A4B}",
       "MsiExec.exe /X{3C5B7A91-2D4E-4F60-8A1B-9C0D1E2F3A4B}"},
      {"msiexec /i {ABC} /qb", "msiexec /x {ABC} /qb"},
      {"C:\\Windows\\System32\\msiexec.exe -I{ABC}", "C:\\Windows\\System32\\msiexec.exe -X{ABC}"},
      {"\"MsiExec.exe\" /I{ABC}", "\"MsiExec.exe\" /X{ABC}"},
      // Left as they are: a removal already, a package file, another program, no product.
      {"MsiExec.exe /X{ABC} /qn", "MsiExec.exe /X{ABC} /qn"},
      {"msiexec /i C:\\setup.msi", "msiexec /i C:\\setup.msi"},
      {"C:\\notmsiexec.exe /I{ABC}", "C:\\notmsiexec.exe /I{ABC}"},
      {"C:\\app\\uninst.exe /I{ABC}", "C:\\app\\uninst.exe /I{ABC}"},
      {"msiexec /package{ABC}", "msiexec /package{ABC}"},
      {"msiexec", "msiexec"},
      {"", ""},
  };
  for (const auto& [stored, run] : cases) {
    TUninstallInfo info;
    info.UninstallString = stored;
    EXPECT_EQ(UninstallCommandToRun(info), run) << stored;
  }
}

TEST(ErrorList, LayoutCountAndLog) {
  test::TempDir dir;
  const std::string log = dir / "pgl_Errors.log";
  TErrorList errors(log, [] { return std::time_t{0}; });
  struct Case {
    std::string message;
    std::size_t lines;  // between the time stamp and the separator
  };
  for (const Case& c :
       {Case{"", 0}, Case{"one", 1}, Case{"a\r\nb\r\nc\r\nd", 4}, Case{"lone\nline feed", 1}}) {
    errors.ClearErrorList();
    errors.AddError(c.message);
    ASSERT_EQ(errors.Lines().size(), c.lines + 2) << c.message;
    EXPECT_EQ(errors.Lines().front().front(), '(');
    EXPECT_EQ(errors.Lines().back(), std::string(43, '-'));
    EXPECT_EQ(errors.ErrorCount(), 1);
  }
  // An empty list never creates the log; every save appends the whole list.
  errors.ClearErrorList();
  errors.ClearErrors();
  EXPECT_NE(::access(log.c_str(), F_OK), 0);
  errors.AddError("x");
  EXPECT_TRUE(errors.SaveErrorLog());
  EXPECT_TRUE(errors.SaveErrorLog());
  const std::string once = errors.Text() + "\r\n";
  EXPECT_EQ(test::ReadFile(log), once + once);
  errors.ClearErrors();  // saves, then clears
  EXPECT_EQ(test::ReadFile(log), once + once + once);
  EXPECT_EQ(errors.ErrorCount(), 0);
  errors.AutoSaveErrorLog = false;
  errors.AddError("y");
  errors.ClearErrors();
  EXPECT_EQ(test::ReadFile(log), once + once + once);
}

TEST(ErrorList, LogRefusesWhatIsNotARegularFile) {
  test::TempDir dir;
  const std::string target = dir / "elsewhere.txt";
  test::WriteFile(target, "keep");
  ASSERT_EQ(::symlink(target.c_str(), (dir / "link.log").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0600), 0);
  for (const char* name : {"link.log", "fifo.log"}) {
    TErrorList errors(dir / name);
    std::vector<std::string> told;
    errors.OnLogFailed = [&told](const std::string& error) { told.push_back(error); };
    errors.AddError("secret");
    EXPECT_FALSE(errors.SaveErrorLog()) << name;
    EXPECT_FALSE(errors.SaveErrorLog()) << name;
    errors.ClearErrors();
    // The user hears of the lost log once, not at every save.
    ASSERT_EQ(told.size(), 1u) << name;
    EXPECT_NE(told[0].find(name), std::string::npos) << told[0];
  }
  EXPECT_EQ(test::ReadFile(target), "keep");
}

TEST(LauncherReport, EveryOutcome) {
  using K = RunOutcome::Kind;
  struct Case {
    std::string output;
    int exitCode;
    K kind;
    std::uint32_t code;
    std::string message;
    std::uint32_t programExit;
  };
  const Case cases[] = {
      {"PGL-LAUNCHER done 0\n", 0, K::Finished, 0, "", 0},
      {"noise from the uninstaller\nPGL-LAUNCHER done 3010\n", 0, K::Finished, 0, "", 3010},
      {"PGL-LAUNCHER error 2 File not found\n", 2, K::StartFailed, 2, "File not found", 0},
      {"PGL-LAUNCHER error 193 Bad EXE format\r\n", 2, K::StartFailed, 193, "Bad EXE format", 0},
      {"PGL-LAUNCHER fault out of memory\n", 3, K::RunnerFailed, 0, "out of memory", 0},
      {"echo PGL-LAUNCHER done 0\n", 1, K::RunnerFailed, 0, "", 0},
      {"", 127, K::RunnerFailed, 0, "", 0},
      {"PGL-LAUNCHER begin\nPGL-LAUNCHER done 0\n", 0, K::Finished, 0, "", 0},
      {"PGL-LAUNCHER begin\n", 1, K::RunnerFailed, 0,
       "Wine ended with code 1 before the launcher said how the uninstaller ended", 0},
  };
  for (const Case& c : cases) {
    const RunOutcome o = ParseLauncherReport(c.output, c.exitCode);
    EXPECT_EQ(o.kind, c.kind) << c.output;
    EXPECT_EQ(o.errorCode, c.code) << c.output;
    EXPECT_EQ(o.exitCode, c.programExit) << c.output;
    if (c.kind != K::RunnerFailed || !c.message.empty()) {
      EXPECT_EQ(o.message.English(), c.message);
    }
  }
  EXPECT_NE(ParseLauncherReport("", 127).message.English().find("127"), std::string::npos);
}

// A Wine that ends before the launcher said a word started nothing, and is tried once more; a
// launcher that began is never run twice (its uninstaller may have run).
TEST(LauncherRetry, AWineThatStartedNothingIsTriedOnceMore) {
  using K = RunOutcome::Kind;
  const struct {
    const char* what;
    const char* first;
    const char* then;
    int runs;
    K kind;
    std::uint32_t exitCode;
  } cases[] = {
      {"Wine starts nothing, then runs", "exit 1",
       "echo 'PGL-LAUNCHER begin'; echo 'PGL-LAUNCHER done 7'", 2, K::Finished, 7},
      {"Wine starts nothing twice", "exit 1", "exit 1", 2, K::RunnerFailed, 0},
      {"the launcher began, then Wine died", "echo 'PGL-LAUNCHER begin'; exit 1",
       "echo 'PGL-LAUNCHER done 0'", 1, K::RunnerFailed, 0},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    const std::string wine = dir / "wine";
    test::WriteFile(wine, std::string("#!/bin/sh\nn=$(cat \"$0.runs\" 2>/dev/null || echo 0)\n") +
                              "n=$((n + 1)); echo $n > \"$0.runs\"\n" + "if [ $n = 1 ]; then " +
                              c.first + "; else " + c.then + "; fi\n");
    ASSERT_EQ(::chmod(wine.c_str(), 0755), 0);
    PrefixWine prefixWine;
    prefixWine.program = wine;
    WineProcessRunner runner(dir.Path(), prefixWine);
    const RunOutcome outcome = runner.RunAndWait("C:\\x.exe", nullptr);
    EXPECT_EQ(outcome.kind, c.kind) << c.what << ": " << outcome.message.English();
    EXPECT_EQ(outcome.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(test::ReadFile(wine + ".runs"), std::to_string(c.runs) + "\n") << c.what;
  }
}

}  // namespace
}  // namespace pgl
