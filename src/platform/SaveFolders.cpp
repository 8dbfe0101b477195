#include "platform/SaveFolders.h"

#include <string_view>

namespace pgl {

namespace {

// The folders of a profile that hold what programs write for the user, and below them what
// Wine keeps for itself. The older names are those of prefixes made before Wine 5.
constexpr std::string_view kSaveRoots[] = {
    "Local Settings/Application Data",
    "AppData/Roaming",
    "AppData/LocalLow",
    "AppData/Local",
    "Application Data",
    "Saved Games",
    "My Documents",
    "Documents",
};

bool IsWinesOwn(std::string_view root, std::string_view first) {
  if (first == "Microsoft")
    return root != "Documents" && root != "My Documents" && root != "Saved Games";
  return first == "Temp" && (root == "AppData/Local" || root == "Local Settings/Application Data");
}

}  // namespace

std::string SaveFolderOf(const std::string& relativePath) {
  constexpr std::string_view kUsers = "drive_c/users/";
  if (!relativePath.starts_with(kUsers)) return "";
  const std::size_t userEnd = relativePath.find('/', kUsers.size());
  if (userEnd == std::string::npos || userEnd == kUsers.size()) return "";
  const std::string_view rest = std::string_view(relativePath).substr(userEnd + 1);
  for (const std::string_view root : kSaveRoots) {
    if (!rest.starts_with(root) || rest.size() <= root.size() || rest[root.size()] != '/') continue;
    const std::string_view below = rest.substr(root.size() + 1);
    const std::size_t slash = below.find('/');
    const std::string base = relativePath.substr(0, userEnd + 1 + root.size());
    if (slash == std::string_view::npos) return base;  // a file right in the folder
    if (IsWinesOwn(root, below.substr(0, slash))) return "";
    return base + "/" + std::string(below.substr(0, slash));
  }
  return "";
}

bool MayHoldSaves(const std::string& relativeDir) {
  if (relativeDir == "drive_c" || relativeDir == "drive_c/users") return true;
  constexpr std::string_view kUsers = "drive_c/users/";
  if (!relativeDir.starts_with(kUsers) || relativeDir.size() == kUsers.size()) return false;
  const std::size_t userEnd = relativeDir.find('/', kUsers.size());
  if (userEnd == std::string::npos) return true;  // a profile
  const std::string_view rest = std::string_view(relativeDir).substr(userEnd + 1);
  // A folder on the way to a save folder's root ("AppData", "Local Settings").
  for (const std::string_view root : kSaveRoots)
    if (root.size() > rest.size() && root.starts_with(rest) && root[rest.size()] == '/')
      return true;
  return !SaveFolderOf(relativeDir + "/x").empty();
}

}  // namespace pgl
