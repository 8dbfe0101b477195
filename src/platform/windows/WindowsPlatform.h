// The platform services of the Windows machine we run on: its environment, its search order
// and its file system, through the system's own calls.
#pragma once

#include "platform/Platform.h"

namespace pgl {

class WindowsPlatform : public Platform {
 public:
  std::string ExpandEnvironmentStrings(std::string_view text) const override;
  std::optional<std::string> SearchPath(std::string_view fileName) const override;
  bool FileExists(std::string_view windowsPath) const override;
  std::optional<std::string> LocalPath(std::string_view windowsPath) const override;
};

}  // namespace pgl
