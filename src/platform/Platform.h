// The services the program needs from the system it manages. On Windows they are the
// system's own; on Linux they are those of a Wine prefix.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// windows.h makes macros of two of these method names (for their A and W forms).
#undef ExpandEnvironmentStrings
#undef SearchPath

namespace pgl {

class Platform {
 public:
  virtual ~Platform() = default;

  // %NAME% references replaced by the values of the environment; a reference to a variable
  // that does not exist stays as written.
  virtual std::string ExpandEnvironmentStrings(std::string_view text) const = 0;
  // The full Windows path under which the system's default search order finds the file.
  virtual std::optional<std::string> SearchPath(std::string_view fileName) const = 0;
  // True when the Windows path names an existing file (not a folder). Trailing blanks of the
  // last component are ignored, as Windows does.
  virtual bool FileExists(std::string_view windowsPath) const = 0;
  // The path under which this process can open what the Windows path names, when it exists.
  virtual std::optional<std::string> LocalPath(std::string_view windowsPath) const = 0;
  // For as long as the answer lives, look-ups may keep what they find of the drives (a scan
  // that looks for thousands of files holds one) instead of finding it again for each file.
  virtual std::shared_ptr<void> HoldDrives() const { return nullptr; }
};

}  // namespace pgl
