#include "platform/wine/SteamGameFiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/wine/FrontEndFiles.h"
#include "util/FileIO.h"

namespace pgl {

namespace {

constexpr std::size_t kMaxRemoteCacheBytes = 16u << 20;

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string ShaderCacheOf(const std::string& library, const std::string& appid) {
  if (appid == "0" || !AllDigits(appid)) return {};
  const std::string cache = library + "/steamapps/shadercache/" + appid;
  struct stat st {};
  if (::lstat(cache.c_str(), &st) != 0) return {};
  return S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode) ? cache : std::string();
}

CloudSaves SteamCloudState(const std::string& root, const std::string& appid) {
  if (!AllDigits(appid) || appid == "0") return CloudSaves::None;
  DIR* users = ::opendir((root + "/userdata").c_str());
  if (!users) return CloudSaves::Unknown;
  bool anyUser = false, unknown = false, listed = false;
  while (const dirent* e = ::readdir(users)) {
    const std::string user = e->d_name;
    if (!AllDigits(user)) continue;
    anyUser = true;
    const std::string file = root + "/userdata/" + user + "/" + appid + "/remotecache.vdf";
    if (::access(file.c_str(), F_OK) != 0) {
      // No folder for the game: this user keeps nothing of it in the cloud. A folder that
      // cannot be looked into may.
      if (errno != ENOENT) unknown = true;
      continue;
    }
    std::string bytes, error;
    if (!ReadWholeFile(file, bytes, error, kMaxRemoteCacheBytes)) {
      unknown = true;
      continue;
    }
    // "<appid>" { "ChangeNumber" "..." "<file name>" { "size" "..." ... } ... }: a file is a
    // block inside the app's block.
    bool files = false;
    if (!ReadKeyValues(bytes,
                       [&files](const std::vector<std::string>& path, const std::string&,
                                const std::string&) { files = files || path.size() >= 2; })) {
      unknown = true;
      continue;
    }
    listed = listed || files;
  }
  ::closedir(users);
  if (listed) return CloudSaves::Yes;
  if (unknown || !anyUser) return CloudSaves::Unknown;
  return CloudSaves::No;
}

}  // namespace pgl
