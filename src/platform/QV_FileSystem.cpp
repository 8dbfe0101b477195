#include "platform/QV_FileSystem.h"

namespace pgl {

std::string TrimDirPath(std::string_view path) {
  if (path.ends_with('\\')) path.remove_suffix(1);
  if (path.ends_with("\\.")) path.remove_suffix(2);
  return std::string(path);
}

std::string FindOnSearchPath(const Platform& platform, std::string_view fileName,
                             std::string_view defaultText) {
  if (auto found = platform.SearchPath(fileName)) return *found;
  return std::string(defaultText);
}

std::string ExpandEnvVars(const Platform& platform, std::string_view text, bool wrap) {
  if (wrap) {
    std::string name;
    name.reserve(text.size() + 2);
    name.append(1, '%').append(text).append(1, '%');
    return platform.ExpandEnvironmentStrings(name);
  }
  return platform.ExpandEnvironmentStrings(text);
}

}  // namespace pgl
