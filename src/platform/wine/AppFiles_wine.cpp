// The program's own folders on Linux.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/AppFiles.h"

namespace pgl {

std::string ExecutableDir() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return ".";
  std::string dir(self, static_cast<std::size_t>(n));
  dir.erase(dir.rfind('/'));
  return dir.empty() ? "/" : dir;
}

namespace {

bool IsBuildTree(const std::string& exeDir) {
  struct stat st {};
  return ::lstat((exeDir + "/" + kBuildTreeMarker).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ProgramFilesDir() {
  // Only a build tree keeps its files beside itself: an installed program (in /usr/bin, run by
  // root as much as by anyone) writes to the user's own folders alone.
  const std::string exeDir = ExecutableDir();
  if (IsBuildTree(exeDir) && ::access(exeDir.c_str(), W_OK) == 0) return exeDir;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    config = std::string(home && *home ? home : "") + "/.config";
  }
  ::mkdir(config.c_str(), 0700);
  const std::string dir = config + "/purgelet";
  ::mkdir(dir.c_str(), 0700);
  return dir;
}

}  // namespace pgl
