// The freedesktop.org trash: $XDG_DATA_HOME/Trash for files on the home's file system, else
// $topdir/.Trash/$uid (a sticky, shared folder) or $topdir/.Trash-$uid on theirs.
#include "platform/Trash.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "util/FileIO.h"

extern char** environ;

namespace pgl {

namespace {

std::string Parent(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Base(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HomeTrash() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share/Trash";
}

// The device of the nearest existing folder on the way to `path`.
bool DeviceOf(std::string path, dev_t& device) {
  struct stat st {};
  while (::stat(path.c_str(), &st) != 0) {
    if (path == "/" || path.empty()) return false;
    path = Parent(path);
  }
  device = st.st_dev;
  return true;
}

// A folder of ours: made when missing (mode 0700), never a link.
bool OwnFolder(const std::string& path, std::string& error) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot make the trash folder " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
    error = "the trash folder " + path + " is not a folder of yours";
    return false;
  }
  return true;
}

std::string UrlPath(const std::string& path) {
  std::string out;
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
        std::strchr("/-_.~", c)) {
      out += c;
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", u);
      out += hex;
    }
  }
  return out;
}

}  // namespace

bool MoveToTrash(const std::string& path, std::string& error) {
  struct stat st {};
  if (path.empty() || path[0] != '/' || ::lstat(path.c_str(), &st) != 0) {
    error = "\"" + path + "\" does not exist";
    return false;
  }
  std::string trash = HomeTrash();
  std::string shownPath = path;  // as the info file names it
  dev_t homeDevice{};
  if (!DeviceOf(trash, homeDevice) || homeDevice != st.st_dev) {
    // Another file system: the trash at its top.
    std::string top = Parent(path);
    for (;;) {
      struct stat up {};
      const std::string parent = Parent(top);
      if (top == "/" || ::stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
      top = parent;
    }
    struct stat shared {};
    const std::string sharedTrash = (top == "/" ? "" : top) + "/.Trash";
    if (::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
      trash = sharedTrash + "/" + std::to_string(::getuid());
    } else {
      trash = (top == "/" ? "" : top) + "/.Trash-" + std::to_string(::getuid());
    }
    shownPath = top == "/" ? path.substr(1) : path.substr(top.size() + 1);
  } else {
    const std::string parent = Parent(trash);
    std::string made;
    for (std::size_t at = 1; at <= parent.size(); ++at)
      if (at == parent.size() || parent[at] == '/') ::mkdir(parent.substr(0, at).c_str(), 0700);
  }
  if (!OwnFolder(trash, error) || !OwnFolder(trash + "/files", error) ||
      !OwnFolder(trash + "/info", error))
    return false;
  const std::string name = Base(path);
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const std::string info =
      "[Trash Info]\nPath=" + UrlPath(shownPath) + "\nDeletionDate=" + date + "\n";
  for (int n = 1; n < 10000; ++n) {
    const std::string stored = n == 1 ? name : name + "." + std::to_string(n);
    const std::string infoFile = trash + "/info/" + stored + ".trashinfo";
    const int fd =
        ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot write " + infoFile + ": " + std::strerror(errno);
      return false;
    }
    const bool written = WriteAll(fd, info);
    const bool closed = ::close(fd) == 0;
    const std::string target = trash + "/files/" + stored;
    struct stat there {};
    if (!written || !closed || ::lstat(target.c_str(), &there) == 0 ||
        ::rename(path.c_str(), target.c_str()) != 0) {
      const int why = errno;
      ::unlink(infoFile.c_str());
      if (written && closed && ::lstat(target.c_str(), &there) == 0) continue;
      error = "cannot move \"" + path + "\" to the trash: " + std::strerror(why);
      return false;
    }
    return true;
  }
  error = "the trash holds too many files named \"" + name + "\"";
  return false;
}

void RefreshDesktopMenus(const std::string& dataHome) {
  const auto run = [](std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    posix_spawn_file_actions_destroy(&actions);
  };
  run({"update-desktop-database", "-q", dataHome + "/applications"});
  run({"xdg-desktop-menu", "forceupdate"});
  run({"update-mime-database", dataHome + "/mime"});
}

}  // namespace pgl
