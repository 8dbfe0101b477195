#include "TestSupport.h"

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace pgl::test {

namespace {

// A UTF-8 path as the file system takes it (on Windows a plain string would be read in the
// ANSI code page).
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

TempDir::TempDir() {
  // The system's temporary folder (TMPDIR on Linux, TEMP on Windows), a name no one has.
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path dir = base / ("pgl-test-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(dir, error)) {
      path_ = dir.generic_string();
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void MakeDirs(const std::string& path) {
  std::filesystem::create_directories(PathOf(path));
}

void MakePrefixDirs(const std::string& prefix) {
  MakeDirs(prefix + "/drive_c/windows/system32");
  MakeDirs(prefix + "/dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
}

void MakeWindowsFile(const std::string& prefix, const std::string& windowsPath,
                     std::string_view bytes) {
  std::string unix = prefix + "/drive_c/" + windowsPath.substr(3);
  for (char& c : unix)
    if (c == '\\') c = '/';
  MakeDirs(unix.substr(0, unix.rfind('/')));
  WriteFile(unix, bytes);
}

const char* const kBasicMachineRegistry =
    "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1\n"
    "\"SystemRoot\"=\"C:\\\\windows\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
    "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n"
    "\"PATH\"=str(2):\"%SystemRoot%\\\\system32;%SystemRoot%\"\n";

#ifndef _WIN32
std::uint64_t DuBytes(const std::string& dir) {
  std::FILE* pipe = ::popen(("du -s -B1 '" + dir + "'").c_str(), "r");
  unsigned long long bytes = 0;
  if (pipe) {
    if (std::fscanf(pipe, "%llu", &bytes) != 1) bytes = 0;
    ::pclose(pipe);
  }
  return bytes;
}

namespace {
constexpr uid_t kTestUser = 65534;
}  // namespace

int RunAsTestUser(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kTestUser) != 0 || ::setuid(kTestUser) != 0))
      ::_exit(255);
    ::_exit(body() & 0xff);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

void GiveToTestUser(const std::string& path) {
  if (::geteuid() != 0) return;
  std::error_code ec;
  (void)::lchown(path.c_str(), kTestUser, kTestUser);
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ec))) return;
  for (const auto& e : std::filesystem::recursive_directory_iterator(path, ec))
    (void)::lchown(e.path().c_str(), kTestUser, kTestUser);
}

void HideFromTestUser(const std::string& path) {
  if (::geteuid() == 0) (void)::lchown(path.c_str(), 0, 0);
  ::chmod(path.c_str(), ::geteuid() == 0 ? 0700 : 0);
}

HeldLock::HeldLock(const std::string& lockFile) {
  const auto slash = lockFile.rfind('/');
  if (slash != std::string::npos) MakeDirs(lockFile.substr(0, slash));
  if (::access(lockFile.c_str(), F_OK) != 0) WriteFile(lockFile, "");
  int ready[2];
  if (::pipe(ready) != 0) return;
  child_ = ::fork();
  if (child_ == 0) {
    const int fd = ::open(lockFile.c_str(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    ::fcntl(fd, F_SETLK, &fl);
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  char c;
  (void)!::read(ready[0], &c, 1);
  ::close(ready[0]);
  ::close(ready[1]);
}

HeldLock::~HeldLock() {
  if (child_ <= 0) return;
  ::kill(child_, SIGKILL);
  ::waitpid(child_, nullptr, 0);
}
#endif

}  // namespace pgl::test
