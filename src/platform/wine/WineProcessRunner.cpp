#include "platform/wine/WineProcessRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/wine/WineServer.h"
#include "util/FileIO.h"

#ifndef PGL_HELPER_DIR
#define PGL_HELPER_DIR ""
#endif

namespace pgl {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(100);

std::string TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

// A new empty file of our own in the temporary folder, open for reading and writing.
int MakeTempFile(std::string& path) {
  std::string pattern = TempDir() + "/pgl-run-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd >= 0) path = name.data();
  return fd;
}

// Starts `wine args...` in the prefix with the given standard input and output; the child
// gets a process group of its own, so a Ctrl+C meant for us does not reach the uninstaller.
pid_t StartWine(const PrefixWine& wine, const std::string& prefixDir,
                const std::vector<std::string>& args, int in, int out) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::setpgid(0, 0);
  for (const auto& [name, value] : wine.environment) ::setenv(name.c_str(), value.c_str(), 1);
  ::setenv("WINEPREFIX", prefixDir.c_str(), 1);
  if (!std::getenv("WINEDEBUG")) ::setenv("WINEDEBUG", "-all", 1);
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(out, 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(wine.program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  const char text[] = "PGL-LAUNCHER fault cannot start wine\n";
  if (::write(1, text, sizeof text - 1) < 0) ::_exit(127);
  ::_exit(127);
}

int ExitCodeOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Stamp {
  bool exists = false;
  off_t size = 0;
  long long mtimeNs = 0;
  ino_t ino = 0;
  bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_size,
          static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec, st.st_ino};
}

}  // namespace

std::string HelperPath(const std::string& fileName) {
  std::vector<std::string> dirs;
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/'));
    dirs.push_back(dir);
    dirs.push_back(dir + "/../lib/purgelet");
  }
  if (*PGL_HELPER_DIR) dirs.emplace_back(PGL_HELPER_DIR);
  for (const auto& dir : dirs) {
    const std::string path = dir + "/" + fileName;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;
  }
  return {};
}

RunOutcome ParseLauncherReport(const std::string& output, int launcherExitCode) {
  RunOutcome outcome;
  const std::string marker = "PGL-LAUNCHER ";
  std::size_t at = std::string::npos;
  for (std::size_t pos = output.find(marker); pos != std::string::npos;
       pos = output.find(marker, pos + 1))
    if (pos == 0 || output[pos - 1] == '\n') at = pos;
  if (at == std::string::npos) {
    outcome.kind = RunOutcome::Kind::RunnerFailed;
    std::string tail = output.size() > 400 ? output.substr(output.size() - 400) : output;
    while (!tail.empty() && static_cast<unsigned char>(tail.back()) <= ' ') tail.pop_back();
    outcome.message = "Wine ended with code " + std::to_string(launcherExitCode) +
                      " before the uninstaller could be started" +
                      (tail.empty() ? std::string(".") : ": " + tail);
    return outcome;
  }
  std::size_t end = output.find('\n', at);
  std::string line =
      output.substr(at + marker.size(), end == std::string::npos ? end : end - at - marker.size());
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  const auto word = [&line]() {
    const std::size_t space = line.find(' ');
    std::string w = line.substr(0, space);
    line = space == std::string::npos ? std::string() : line.substr(space + 1);
    return w;
  };
  const std::string kind = word();
  if (kind == "done") {
    outcome.exitCode = static_cast<std::uint32_t>(std::strtoul(word().c_str(), nullptr, 10));
  } else if (kind == "begin") {
    // The launcher ran, perhaps the uninstaller too, but the launcher never said how it ended.
    outcome.kind = RunOutcome::Kind::RunnerFailed;
    outcome.message = "Wine ended with code " + std::to_string(launcherExitCode) +
                      " before the launcher said how the uninstaller ended";
  } else if (kind == "error") {
    outcome.kind = RunOutcome::Kind::StartFailed;
    outcome.errorCode = static_cast<std::uint32_t>(std::strtoul(word().c_str(), nullptr, 10));
    outcome.message = line;
  } else {
    outcome.kind = RunOutcome::Kind::RunnerFailed;
    outcome.message = line.empty() ? "the launcher failed" : line;
  }
  return outcome;
}

WineProcessRunner::WineProcessRunner(std::string prefixDir, std::string wine)
    : prefixDir_(std::move(prefixDir)), wine_(std::move(wine)) {
  prefixWine_.program = wine_;
}

WineProcessRunner::WineProcessRunner(std::string prefixDir, PrefixWine wine)
    : prefixDir_(std::move(prefixDir)), wine_(wine.program), prefixWine_(std::move(wine)) {}

WineProcessRunner::WineProcessRunner(std::string prefixDir,
                                     std::shared_ptr<const PrefixLookup> lookup)
    : prefixDir_(std::move(prefixDir)), lookup_(std::move(lookup)) {}

RunOutcome WineProcessRunner::RunAndWait(const std::string& commandLine,
                                         const std::function<bool()>& stopWaiting) {
  RunOutcome outcome;
  outcome.kind = RunOutcome::Kind::RunnerFailed;
  if (!Wine().known) {
    outcome.message = {"not run, because " + WhyNothingRuns(Language::English) +
                           ": another Wine could upgrade or break this prefix",
                       "nie uruchomiono, bo " + WhyNothingRuns(Language::Polish) +
                           ": inne Wine mogłoby zaktualizować albo uszkodzić ten prefiks"};
    return outcome;
  }
  const std::string launcher = HelperPath("pgl-launcher.exe");
  if (launcher.empty()) {
    outcome.message = "pgl-launcher.exe, which starts uninstallers inside Wine, is missing.";
    return outcome;
  }
  LauncherRun run;
  for (int attempt = 1;; ++attempt) {
    run = {};
    if (std::string why; !RunLauncher(launcher, commandLine, stopWaiting, run, why)) {
      outcome.message = std::move(why);
      return outcome;
    }
    // A Wine that ended before the launcher said a word started nothing: on a busy machine
    // Wine now and then fails to start at all, and one more try is safe.
    if (run.stopped || attempt == 2 || run.report.find("PGL-LAUNCHER ") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  if (run.stopped) {
    outcome.kind = RunOutcome::Kind::StoppedWaiting;
    outcome.message = {};
    return outcome;
  }
  return ParseLauncherReport(run.report, run.exitCode);
}

bool WineProcessRunner::RunLauncher(const std::string& launcher, const std::string& commandLine,
                                    const std::function<bool()>& stopWaiting, LauncherRun& run,
                                    std::string& message) {
  std::string inPath, outPath;
  const int in = MakeTempFile(inPath);
  const int out = in >= 0 ? MakeTempFile(outPath) : -1;
  if (in < 0 || out < 0) {
    message = "cannot create a temporary file in " + TempDir() + ": " + std::strerror(errno);
    if (in >= 0) {
      ::close(in);
      ::unlink(inPath.c_str());
    }
    return false;
  }
  ::unlink(inPath.c_str());
  ::unlink(outPath.c_str());
  if (!WriteAll(in, commandLine) || ::lseek(in, 0, SEEK_SET) != 0) {
    message = "cannot write a temporary file: " + std::string(std::strerror(errno));
    ::close(in);
    ::close(out);
    return false;
  }
  const pid_t pid = StartWine(Wine(), prefixDir_, {launcher}, in, out);
  ::close(in);
  if (pid < 0) {
    ::close(out);
    message = "cannot start wine: " + std::string(std::strerror(errno));
    return false;
  }
  int status = 0;
  bool& stopped = run.stopped;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (stopWaiting && stopWaiting()) {
      // Only the launcher ends; the uninstaller it started goes on.
      ::kill(pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      stopped = true;
      break;
    }
    std::this_thread::sleep_for(kPoll);
  }
  std::string& report = run.report;
  char buffer[4096];
  ::lseek(out, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(out, buffer, sizeof buffer)) > 0 && report.size() < (1u << 20);)
    report.append(buffer, static_cast<std::size_t>(n));
  ::close(out);
  run.exitCode = ExitCodeOf(status);
  return true;
}

bool WineProcessRunner::CanRun(PeMachine machine) {
  // An unknown Wine runs nothing: RunAndWait says why.
  if (machine != PeMachine::X86 || !Wine().known) return true;
  if (wine32_ < 0) {
    // Ask Wine itself: a Wine without its 32-bit part starts the probe, runs nothing and
    // reports 0. Without the probe we cannot tell and let the uninstaller try.
    const std::string probe = HelperPath("pgl-probe32.exe");
    if (probe.empty()) return true;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = StartWine(Wine(), prefixDir_, {probe}, null, null);
    int status = 0;
    if (pid > 0)
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    if (null >= 0) ::close(null);
    wine32_ = pid > 0 && ExitCodeOf(status) == 32 ? 1 : 0;
  }
  return wine32_ == 1;
}

bool WineProcessRunner::WaitFor(const std::function<bool()>& done,
                                const std::function<bool(int seconds)>& keepWaiting) const {
  const auto start = Clock::now();
  for (;;) {
    if (done()) return true;
    const int seconds = static_cast<int>(
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
    if (seconds >= saveGraceSeconds) return true;
    if (keepWaiting && !keepWaiting(seconds)) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

bool WineProcessRunner::WaitUntilRegistrySaved(
    const std::function<bool(int seconds)>& keepWaiting) {
  const std::string files[] = {prefixDir_ + "/system.reg", prefixDir_ + "/user.reg"};
  const Stamp before[] = {StampOf(files[0]), StampOf(files[1])};
  // The server saves everything when it exits (about 2 s after its last program) and, while
  // other programs keep it running, every 30 s or so when something changed. Past the grace
  // nothing changed that needs saving.
  return WaitFor(
      [&] {
        return !IsWineServerRunning(prefixDir_) || !(StampOf(files[0]) == before[0]) ||
               !(StampOf(files[1]) == before[1]);
      },
      keepWaiting);
}

bool WineProcessRunner::WaitUntilRegistryWritable(
    const std::function<bool(int seconds)>& keepWaiting) {
  // A periodic save ends the wait above while the server still runs: the uninstallers'
  // changes can be read then, but the files can only be written once it has exited. Programs
  // the user keeps open hold it for good; past the grace the write is refused and says why.
  return WaitFor([this] { return !IsWineServerRunning(prefixDir_); }, keepWaiting);
}

}  // namespace pgl
