#include "platform/wine/HomeFolders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/wine/WinePrefixes.h"
#include "util/FileIO.h"

namespace pgl {

namespace homefolders {

bool IsDir(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsPrefix(const std::string& dir) {
  return IsFile(dir + "/system.reg");
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Canonical(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

void TakeProtonPfx(FoundPrefix& p) {
  if (IsPrefix(p.path) || IsLink(p.path + "/pfx") || !IsPrefix(p.path + "/pfx")) return;
  p.folder = p.path;
  p.path += "/pfx";
}

}  // namespace homefolders

std::string ShortPath(const std::string& path, const std::string& home) {
  if (!home.empty() && home != "/" && path.starts_with(home + "/"))
    return std::string("~").append(path, home.size());
  return path;
}

std::string PrefixArch(const std::string& prefixDir) {
  // The line is in the file's first few hundred bytes: only those are read.
  const std::string bytes = ReadFileStart(prefixDir + "/system.reg", 4096);
  // A file that is not Wine's tells nothing.
  if (!bytes.starts_with("WINE REGISTRY Version 2\n") &&
      !bytes.starts_with("WINE REGISTRY Version 2\r\n") && bytes != "WINE REGISTRY Version 2")
    return "unknown";
  const auto at = bytes.find("\n#arch=");
  if (at == std::string::npos) return "win64";
  const auto end = bytes.find_first_of("\r\n", at + 7);
  if (end == std::string::npos) return "win64";
  return bytes.compare(at + 7, end - at - 7, "win32") == 0 ? "win32" : "win64";
}

}  // namespace pgl
