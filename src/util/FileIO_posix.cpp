#include "util/FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace pgl {

namespace {

std::string SystemMessage(int code) {
  return std::strerror(code);
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReadFileInPieces(const std::string& path, std::string& error, std::size_t maxBytes,
                      const std::function<void(std::uint64_t size, const FileSource&)>& read) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = "\"" + path + "\" is not a regular file.";
    return false;
  }
  // Not blocking: should a FIFO take the file's place meanwhile, opening it must not hang.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = "Cannot open \"" + path + "\": " + SystemMessage(errno);
    return false;
  }
  const struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "\"" + path + "\" is not a regular file.";
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    error = "\"" + path + "\" is too large to be read.";
    return false;
  }
  // The file may grow or shrink while it is read.
  std::uint64_t total = 0;
  bool failed = false;
  const FileSource source = [&](char* into, std::size_t size) -> std::ptrdiff_t {
    if (failed) return -1;
    for (;;) {
      const ssize_t n = ::read(fd, into, size);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = "Cannot read \"" + path + "\": " + SystemMessage(errno);
        failed = true;
        return -1;
      }
      total += static_cast<std::uint64_t>(n);
      if (total > maxBytes) {
        error = "\"" + path + "\" is too large to be read.";
        failed = true;
        return -1;
      }
      return n;
    }
  };
  read(static_cast<std::uint64_t>(st.st_size), source);
  return !failed;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

namespace {

// The file a path names in the end: symbolic links followed, as `cp` follows them (a link
// whose target is missing names that target).
std::string FinalTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n <= 0) return current;
    target.resize(static_cast<std::size_t>(n));
    current = target.front() == '/' ? target : DirectoryOf(current) + "/" + target;
  }
  return current;  // a loop: opening it will say so
}

// Temporary files of our saves that were killed: "<name>.pgl-<pid>-XXXXXX" whose process
// is gone.
void RemoveStaleTemporaries(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  const std::string stem = name + ".pgl-";
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (!entry.starts_with(stem)) continue;
    const long pid = std::strtol(entry.c_str() + stem.size(), nullptr, 10);
    if (pid == ::getpid()) continue;
    const bool gone = pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
    if (gone) ::unlink((dir + "/" + entry).c_str());
  }
  ::closedir(d);
}

mode_t CurrentUmask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error) {
  return WriteFileAtomicWith(
      path, [&](int fd) { return WriteAll(fd, bytes); }, error);
}

bool WriteFileAtomicWith(const std::string& requested, const std::function<bool(int fd)>& write,
                         std::string& error) {
  const std::string path = FinalTarget(requested);
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    if (S_ISDIR(old.st_mode)) {
      error = "Cannot write \"" + requested + "\": it is a folder.";
      return false;
    }
    // A device or a FIFO is written into, never replaced.
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 || !write(fd)) {
      error = "Cannot write \"" + requested + "\": " + SystemMessage(errno);
      if (fd >= 0) ::close(fd);
      return false;
    }
    ::close(fd);
    return true;
  }
  if (exists && ::access(path.c_str(), W_OK) != 0) {
    error = "Cannot write \"" + requested + "\": " + SystemMessage(errno);
    return false;
  }
  const std::string dir = DirectoryOf(path);
  const std::string name =
      path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
  RemoveStaleTemporaries(dir, name);
  std::string temp = path + ".pgl-" + std::to_string(::getpid()) + "-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "Cannot create file \"" + requested + "\": " + SystemMessage(errno);
    return false;
  }
  const auto fail = [&](const char* what, int code) {
    ::close(fd);
    ::unlink(temp.c_str());
    error = std::string(what) + " \"" + requested + "\": " + SystemMessage(code);
    return false;
  };
  // The file keeps its owner, group and mode; a new one gets what the umask allows.
  const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0)
    return fail("Cannot keep the owner of", errno);
  if (::fchmod(fd, mode) != 0) return fail("Cannot set the permissions of", errno);
  if (!write(fd)) return fail("Cannot write", errno);
  if (::fsync(fd) != 0) return fail("Cannot write", errno);
  if (::close(fd) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    error = "Cannot write \"" + requested + "\": " + SystemMessage(code);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    error = "Cannot replace \"" + requested + "\": " + SystemMessage(code);
    return false;
  }
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

bool AppendToFile(const std::string& path, std::string_view bytes, std::string& error) {
  // O_NONBLOCK: a FIFO put where the log should be must not hang us; it is refused below.
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd < 0) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = "\"" + path + "\" is not a regular file";
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write \"" + path + "\": " + std::strerror(errno);
      // Take back a partial append so the log holds whole errors only (best effort: the
      // error above is what the caller hears).
      if (done > 0) (void)!::ftruncate(fd, st.st_size);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  const bool ok = ::close(fd) == 0;
  if (!ok) error = "cannot write \"" + path + "\": " + std::strerror(errno);
  return ok;
}

PathStatus StatusOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return {errno == ENOENT ? PathStatus::Kind::Missing : PathStatus::Kind::Other, 0};
  if (!S_ISREG(st.st_mode)) return {PathStatus::Kind::Other, 0};
  return {PathStatus::Kind::RegularFile, static_cast<std::uint64_t>(st.st_size)};
}

std::optional<FileId> IdentityOf(const std::string& path, bool followLinks) {
  struct stat st {};
  if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0)
    return std::nullopt;
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string ReadFileStart(const std::string& path, std::size_t maxBytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.resize(maxBytes);
    const ssize_t n = ::read(fd, bytes.data(), bytes.size());
    bytes.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  ::close(fd);
  return bytes;
}

}  // namespace pgl
