#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                   std::size_t maxBytes) {
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
  bytes.clear();
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = "\"" + path + "\" is not a regular file.";
    return false;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    error = "\"" + path + "\" is too large to be read.";
    return false;
  }
  if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n > 0 && bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
      ::close(fd);
      error = "\"" + path + "\" is too large to be read.";
      return false;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      error = "Cannot read \"" + path + "\": " + SystemMessage(errno);
      ::close(fd);
      return false;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error) {
  const std::string dir = DirectoryOf(path);
  std::string temp = path + ".pgl-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = "Cannot create file \"" + path + "\": " + SystemMessage(errno);
    return false;
  }
  const auto fail = [&](const char* what, int code) {
    ::close(fd);
    ::unlink(temp.c_str());
    error = std::string(what) + " \"" + path + "\": " + SystemMessage(code);
    return false;
  };
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd, mode) != 0) return fail("Cannot set the permissions of", errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("Cannot write", errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) return fail("Cannot write", errno);
  if (::close(fd) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    error = "Cannot write \"" + path + "\": " + SystemMessage(code);
    return false;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(temp.c_str());
    error = "Cannot replace \"" + path + "\": " + SystemMessage(code);
    return false;
  }
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace pgl
