// Windows shortcut (.lnk) files: where a shortcut points, read from its bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pgl {

struct ShellLinkInfo {
  std::string target;  // the local path it opens ("C:\Program Files\App\app.exe"), if it says
  std::string relativePath, workingDir, arguments, iconLocation;
};

// Reads a shortcut's header, link information and texts; nothing when the bytes are not a
// shortcut. ANSI texts are read in `codePage`. Every offset and length is checked against the
// bytes: a damaged or hostile file gives what could be read, never more.
std::optional<ShellLinkInfo> ReadShellLink(std::string_view bytes, int codePage);

}  // namespace pgl
