#include "WineTestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>

#include "TestSupport.h"

namespace pgl::e2e {

namespace {

// Folders that live for the whole test run.
test::TempDir& RunDir() {
  static test::TempDir dir;
  return dir;
}

}  // namespace

Spawned Spawn(const std::vector<std::string>& argv, const EnvList& env) {
  static int counter = 0;
  const std::string outFile = RunDir() / ("out-" + std::to_string(++counter) + ".txt");
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::setpgid(0, 0);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    ::unsetenv("DISPLAY");
    const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ::setpgid(pid, pid);  // also here, so that the group exists before either side goes on
  Spawned spawned{pid, outFile, {}, {}};
  for (const auto& a : argv) spawned.command += (spawned.command.empty() ? "" : " ") + a;
  for (const auto& [name, value] : env)
    if (name == "WINEPREFIX") spawned.prefix = value;
  return spawned;
}

RunResult Finish(const Spawned& spawned) {
  int status = 0;
  bool hung = false;
  for (int waited = 0;; waited += 50) {
    const pid_t r = ::waitpid(spawned.pid, &status, WNOHANG);
    if (r == spawned.pid || (r < 0 && errno != EINTR)) break;
    if (waited >= kCommandTimeLimitSeconds * 1000) {
      hung = true;
      std::fprintf(stderr, "[hung] still running after %d s, killed: %s\n",
                   kCommandTimeLimitSeconds, spawned.command.c_str());
      ::kill(-spawned.pid, SIGKILL);
      if (!spawned.prefix.empty())
        Finish(Spawn({"wineserver", "-k"}, WineEnvironment(spawned.prefix)));
      ::waitpid(spawned.pid, &status, 0);
      break;
    }
    ::usleep(50 * 1000);
  }
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.output = test::ReadFile(spawned.outFile);
  if (hung) {
    result.exitCode = 124;
    result.output += "\n[hung: killed after " + std::to_string(kCommandTimeLimitSeconds) + " s] " +
                     spawned.command + "\n";
  }
  return result;
}

RunResult Run(const std::vector<std::string>& argv, const EnvList& env) {
  return Finish(Spawn(argv, env));
}

EnvList WineEnvironment(const std::string& prefix) {
  return {{"WINEPREFIX", prefix}, {"WINEDEBUG", "-all"}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
}

void WaitForServer(const std::string& prefix) {
  Run({"wineserver", "-w"}, WineEnvironment(prefix));
}

RunResult RunWine(const std::string& prefix, const std::vector<std::string>& args,
                  const EnvList& extraEnv) {
  std::vector<std::string> argv{"wine"};
  argv.insert(argv.end(), args.begin(), args.end());
  EnvList env = WineEnvironment(prefix);
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  RunResult result = Run(argv, env);
  WaitForServer(prefix);
  return result;
}

namespace {

// Made once per test run and shared by the test processes (CTest runs each case in a process
// of its own): under PGL_TEST_RUN_DIR when set, else in this process's own folder. A lock
// lets one process make it while the others wait; it appears whole, by a rename.
const std::string& StockPrefix() {
  static const std::string prefix = [] {
    const char* shared = std::getenv("PGL_TEST_RUN_DIR");
    const std::string base = shared && *shared ? shared : RunDir().Path();
    std::filesystem::create_directories(base);
    const std::string dir = base + "/stock-prefix";
    const int lock = ::open((base + "/stock.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + base);
    if (!std::filesystem::exists(dir + "/system.reg")) {
      const std::string making = base + "/stock-prefix.making";
      std::filesystem::remove_all(making);
      const RunResult r = Run({"wineboot", "-i"}, WineEnvironment(making));
      WaitForServer(making);
      if (r.exitCode != 0 || !std::filesystem::exists(making + "/system.reg"))
        throw std::runtime_error("wineboot failed: " + r.output);
      std::filesystem::remove_all(dir);
      std::filesystem::rename(making, dir);
    }
    ::close(lock);
    return dir;
  }();
  return prefix;
}

void CopyTree(const std::string& from, const std::string& to) {
  if (Run({"cp", "-a", from, to}).exitCode != 0) throw std::runtime_error("cp failed");
}

}  // namespace

std::string NewPrefix(const std::string& dir) {
  CopyTree(StockPrefix(), dir);
  return dir;
}

std::string NsisInstaller(const std::string& keyName, bool polish,
                          const std::vector<std::string>& defines) {
  static std::map<std::string, std::string> built;
  std::string id = keyName + (polish ? "-pl" : "");
  for (const auto& d : defines) id += "-" + std::to_string(std::hash<std::string>{}(d));
  if (auto it = built.find(id); it != built.end()) return it->second;
  const std::string out = RunDir() / (id + ".exe");
  std::vector<std::string> argv{
      "makensis", "-V2", "-INPUTCHARSET", "UTF8", "-DOUTFILE=" + out, "-DKEYNAME=" + keyName};
  if (polish) argv.push_back("-DPOLISH");
  for (const auto& d : defines) argv.push_back("-D" + d);
  argv.push_back(std::string(PGL_E2E_DATA) + "/demo.nsi");
  const RunResult r = Run(argv);
  if (r.exitCode != 0) throw std::runtime_error("makensis failed: " + r.output);
  return built[id] = out;
}

std::string MsiPackage() {
  static const std::string path = [] {
    const std::string out = RunDir() / "demo.msi";
    // wixl finds the packaged file relative to the current folder.
    const RunResult r =
        Run({"sh", "-c", "cd \"$0\" && exec wixl -a x64 -o \"$1\" demo.wxs", PGL_E2E_DATA, out});
    if (r.exitCode != 0) throw std::runtime_error("wixl failed: " + r.output);
    return out;
  }();
  return path;
}

std::string NewPrefixWithPrograms(const std::string& dir, bool withMsi, bool polishNsis) {
  NewPrefix(dir);
  const RunResult nsis = RunWine(dir, {NsisInstaller("PurgeletDemo", polishNsis)});
  if (nsis.exitCode != 0) throw std::runtime_error("NSIS install failed: " + nsis.output);
  if (withMsi) {
    const std::vector<std::string> install{"msiexec", "/i", WinePath(MsiPackage()), "/qn"};
    RunResult msi = RunWine(dir, install);
    // On a busy machine Wine now and then fails to start msiexec at all ("ShellExecuteEx
    // failed: Internal error"); the package is then not touched, and a second start works.
    if (msi.exitCode != 0 && msi.output.find("ShellExecuteEx failed") != std::string::npos)
      msi = RunWine(dir, install);
    if (msi.exitCode != 0) throw std::runtime_error("MSI install failed: " + msi.output);
  }
  return dir;
}

bool Wine32Works(const std::string& prefix) {
  const std::string probe = std::string(PGL_HELPER_DIR) + "/pgl-probe32.exe";
  const RunResult r = RunWine(prefix, {probe});
  return r.exitCode == 32;
}

RunResult Cli(const std::string& prefix, const std::vector<std::string>& args) {
  std::vector<std::string> argv{PGL_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, WineEnvironment(prefix));
}

std::string WinePath(const std::string& unixPath) {
  std::string out = "Z:" + unixPath;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::vector<std::vector<std::string>> TabSeparatedLines(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::vector<std::string> cells;
    std::size_t c = start;
    for (;;) {
      const std::size_t tab = text.find('\t', c);
      if (tab == std::string::npos || tab > end) {
        cells.push_back(text.substr(c, end - c));
        break;
      }
      cells.push_back(text.substr(c, tab - c));
      c = tab + 1;
    }
    rows.push_back(std::move(cells));
    start = end + 1;
  }
  return rows;
}

}  // namespace pgl::e2e
