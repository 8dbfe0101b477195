#include "platform/wine/WineServer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "util/FileIO.h"

namespace pgl {

namespace {

std::vector<std::string> TempRoots() {
  std::vector<std::string> roots;
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) roots.emplace_back(tmp);
  roots.emplace_back("/tmp");
  return roots;
}

std::vector<std::string> ServerDirs(const std::string& prefixDir) {
  std::vector<std::string> dirs;
  struct stat st {};
  if (::stat(prefixDir.c_str(), &st) != 0) return dirs;
  char leaf[64];
  std::snprintf(leaf, sizeof leaf, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::string name, error;
  if (ReadWholeFile(prefixDir + "/wineserver", name, error)) {
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    if (!name.empty() && name.find('/') == std::string::npos)
      for (const auto& root : TempRoots()) dirs.push_back(root + "/" + name + leaf);
  }
  for (const auto& root : TempRoots())
    dirs.push_back(root + "/.wine-" + std::to_string(::getuid()) + leaf);
  return dirs;
}

// Whether a process holds a record lock on the file: a server's. Asked through an open file
// description lock query, whose descriptor owns no lock of ours: closing it afterwards releases
// nothing (closing any descriptor of a file drops every POSIX lock the process holds on it).
// Our own save locks are open file description locks too, reported with no process (-1): they
// are another writer of ours in the middle of a save, not a server.
bool LockIsHeld(const std::string& lockFile) {
  const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  // A server in a process namespace we cannot see is reported with process 0: still a server.
  const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK && fl.l_pid != -1;
  ::close(fd);
  return held;
}

// Takes the flock of our own writers, waiting for another writer's save up to `seconds`.
bool TakeTurn(int fd, int seconds) {
  for (int waited = 0;; waited += 20) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (waited >= seconds * 1000) return false;
    ::usleep(20 * 1000);
  }
}

}  // namespace

// A process whose working folder is "server-<dev>-<inode>" of the prefix: its server, in
// whatever temporary folder it was started.
bool ServerProcessRuns(const std::string& prefixDir) {
  struct stat st {};
  if (::stat(prefixDir.c_str(), &st) != 0) return false;
  char leaf[64];
  std::snprintf(leaf, sizeof leaf, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  DIR* proc = ::opendir("/proc");
  if (!proc) return false;
  bool found = false;
  char target[4096];
  while (const dirent* e = ::readdir(proc)) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    const std::string link = std::string("/proc/") + e->d_name + "/cwd";
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string_view cwd(target, static_cast<std::size_t>(n));
    if (cwd.ends_with(leaf)) {
      found = true;
      break;
    }
  }
  ::closedir(proc);
  return found;
}

bool IsWineServerRunning(const std::string& prefixDir) {
  for (const auto& dir : ServerDirs(prefixDir))
    if (LockIsHeld(dir + "/lock")) return true;
  return ServerProcessRuns(prefixDir);
}

WineSaveLock::WineSaveLock(const std::string& prefixDir, int waitSeconds) {
  // Ours first: one writer of ours at a time, the others waiting for their turn.
  const int own = ::open((prefixDir + "/.purgelet-lock").c_str(),
                         O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (own >= 0) {
    if (!TakeTurn(own, waitSeconds)) {
      ::close(own);
      turnTaken_ = false;
      return;
    }
    fds_.push_back(own);
  }
  // The server's lock as an open file description lock: it conflicts with the server's POSIX
  // lock as that one does, and no descriptor that anything else in this process opens and
  // closes on the file can release it.
  for (const auto& dir : ServerDirs(prefixDir)) {
    const int fd = ::open((dir + "/lock").c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
      serverFree_ = false;
      ::close(fd);
      continue;
    }
    fds_.push_back(fd);
  }
}

WineSaveLock::~WineSaveLock() {
  for (int fd : fds_) ::close(fd);  // closing releases both kinds of lock
}

std::string WineServerDirectory(const std::string& prefixDir) {
  const auto dirs = ServerDirs(prefixDir);
  return dirs.empty() ? std::string() : dirs.front();
}

}  // namespace pgl
