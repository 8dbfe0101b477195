// The freedesktop.org trash: $XDG_DATA_HOME/Trash for files on the home's file system, else
// $topdir/.Trash/$uid (a sticky, shared folder) or $topdir/.Trash-$uid on theirs.
#include "platform/Trash.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

namespace {

// Where the trash of the file system holding `path` (with status `st`) is, and how its info
// file names the path.
bool TrashFolderFor(const std::string& path, const struct stat& st, std::string& trash,
                    std::string& shownPath, std::string& error) {
  trash = HomeTrash();
  shownPath = path;
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
    for (std::size_t at = 1; at <= parent.size(); ++at)
      if (at == parent.size() || parent[at] == '/') ::mkdir(parent.substr(0, at).c_str(), 0700);
  }
  return OwnFolder(trash, error) && OwnFolder(trash + "/files", error) &&
         OwnFolder(trash + "/info", error);
}

// Renames without replacing what is there; where the file system cannot promise that, after a
// look that nothing is.
int RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
  if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  struct stat there {};
  if (::fstatat(toDir, to, &there, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::renameat(fromDir, from, toDir, to);
}

// Moves `leaf` of the open folder `dir`, the item at `path` with status `st`, to the trash.
bool TrashAt(int dir, const std::string& leaf, const std::string& path, const struct stat& st,
             std::string& error) {
  std::string trash, shownPath;
  if (!TrashFolderFor(path, st, trash, shownPath, error)) return false;
  const int files =
      ::open((trash + "/files").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (files < 0) {
    error = "cannot open the trash folder " + trash + "/files: " + std::strerror(errno);
    return false;
  }
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const std::string info =
      "[Trash Info]\nPath=" + UrlPath(shownPath) + "\nDeletionDate=" + date + "\n";
  for (int n = 1; n < 10000; ++n) {
    const std::string stored = n == 1 ? leaf : leaf + "." + std::to_string(n);
    const std::string infoFile = trash + "/info/" + stored + ".trashinfo";
    const int fd =
        ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot write " + infoFile + ": " + std::strerror(errno);
      ::close(files);
      return false;
    }
    const bool written = WriteAll(fd, info);
    const bool closed = ::close(fd) == 0;
    if (written && closed && RenameNoReplace(dir, leaf.c_str(), files, stored.c_str()) == 0) {
      ::close(files);
      return true;
    }
    const int why = errno;
    ::unlink(infoFile.c_str());
    if (written && closed && why == EEXIST) continue;
    error = "cannot move \"" + path + "\" to the trash: " + std::strerror(why);
    ::close(files);
    return false;
  }
  ::close(files);
  error = "the trash holds too many files named \"" + leaf + "\"";
  return false;
}

// Enters `part` of the open folder `dir` without following a link; closes `dir`.
int Enter(int dir, const std::string& part) {
  const int next = ::openat(dir, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  ::close(dir);
  return next;
}

}  // namespace

bool MoveToTrash(const std::string& path, std::string& error) {
  struct stat st {};
  if (path.empty() || path[0] != '/' || ::lstat(path.c_str(), &st) != 0) {
    error = "\"" + path + "\" does not exist";
    return false;
  }
  const int dir = ::open(Parent(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    error = "cannot open the folder of \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  const bool moved = TrashAt(dir, Base(path), path, st, error);
  ::close(dir);
  return moved;
}

bool MoveToTrashBeneath(const std::string& root, const std::string& path, const FileId& expected,
                        std::string& error) {
  if (root.empty() || root[0] != '/' || path.size() <= root.size() + 1 ||
      path.compare(0, root.size(), root) != 0 || (root != "/" && path[root.size()] != '/')) {
    error = "\"" + path + "\" is not inside " + root;
    return false;
  }
  std::vector<std::string> parts;
  for (std::size_t start = root.size() + (root == "/" ? 0 : 1); start <= path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  for (const auto& part : parts)
    if (part.empty() || part == "." || part == "..") {
      error = "\"" + path + "\" is not a plain path";
      return false;
    }
  int dir = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (std::size_t i = 0; dir >= 0 && i + 1 < parts.size(); ++i) dir = Enter(dir, parts[i]);
  if (dir < 0) {
    error = "a folder on the way to \"" + path + "\" is a link, or is gone; it was not moved";
    return false;
  }
  struct stat st {};
  bool moved = false;
  if (::fstatat(dir, parts.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    error = "\"" + path + "\" is gone";
  } else if (static_cast<std::uint64_t>(st.st_dev) != expected.device ||
             static_cast<std::uint64_t>(st.st_ino) != expected.inode) {
    error = "\"" + path + "\" was replaced since it was found; it was not moved";
  } else {
    moved = TrashAt(dir, parts.back(), path, st, error);
  }
  ::close(dir);
  return moved;
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
