// Real Wine for the end-to-end tests: one prefix made by wineboot per test run, copied for
// each test, and installers built from tests/e2e/data with makensis and wixl.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pgl::e2e {

struct RunResult {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

using EnvList = std::vector<std::pair<std::string, std::string>>;

// A program started in the background, in a process group of its own; Finish waits for it and
// reads its output. A program still running after the time limit is killed with its group and
// its prefix's Wine processes, its output says so and its exit code is 124: a hung Wine call
// fails its test in minutes and names itself instead of taking the whole test's time.
struct Spawned {
  int pid = -1;
  std::string outFile;
  std::string command;  // the command line, for the message when it hangs
  std::string prefix;   // its WINEPREFIX, if any
};
constexpr int kCommandTimeLimitSeconds = 240;
Spawned Spawn(const std::vector<std::string>& argv, const EnvList& env = {});
RunResult Finish(const Spawned& spawned);

// Runs a program (searched on PATH) with extra environment variables. Output goes to a file
// that is read once the program has ended, never through a pipe that Wine's background
// processes would keep open.
RunResult Run(const std::vector<std::string>& argv, const EnvList& env = {});

// The variables every Wine call of the tests gets: the prefix, no debug output, no prompts
// for Mono or Gecko.
EnvList WineEnvironment(const std::string& prefix);

// Runs `wine args...` in the prefix and waits until its wineserver has gone.
RunResult RunWine(const std::string& prefix, const std::vector<std::string>& args,
                  const EnvList& extraEnv = {});
void WaitForServer(const std::string& prefix);

// A fresh copy of the run's stock prefix (made by wineboot on first use) at `dir`.
std::string NewPrefix(const std::string& dir);
// The same with the demo NSIS program (and, if asked, the MSI package) installed.
std::string NewPrefixWithPrograms(const std::string& dir, bool withMsi, bool polishNsis = false);

// Installers built once per run.
// `defines` are passed to makensis as -DNAME[=VALUE] (see demo.nsi).
std::string NsisInstaller(const std::string& keyName, bool polish,
                          const std::vector<std::string>& defines = {});
std::string MsiPackage();

// Whether this Wine runs 32-bit programs (asked of Wine with our 32-bit probe).
bool Wine32Works(const std::string& prefix);

// Runs pgl-cli in the prefix with the tests' Wine environment.
RunResult Cli(const std::string& prefix, const std::vector<std::string>& args);

// pgl-cli's list output: a line each, cells split at tabs.
std::vector<std::vector<std::string>> TabSeparatedLines(const std::string& text);
// Unix path to the Windows path Wine sees for it (through drive Z:).
std::string WinePath(const std::string& unixPath);

}  // namespace pgl::e2e
