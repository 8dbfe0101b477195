#include "platform/WineServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/FileIO.h"

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

bool LockIsHeld(const std::string& lockFile) {
  const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  const bool held = ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

}  // namespace

bool IsWineServerRunning(const std::string& prefixDir) {
  for (const auto& dir : ServerDirs(prefixDir))
    if (LockIsHeld(dir + "/lock")) return true;
  return false;
}

std::string WineServerDirectory(const std::string& prefixDir) {
  const auto dirs = ServerDirs(prefixDir);
  return dirs.empty() ? std::string() : dirs.front();
}

}  // namespace pgl
