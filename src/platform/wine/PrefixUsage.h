// Measuring a Wine prefix: the disk its folder takes, the files the user's programs wrote in its
// profiles (saves), and when it was last used.
#pragma once

#include <string>

#include "platform/SystemUsage.h"

namespace pgl {

// Measures `folder` (the prefix, or a Proton game's compatdata/<appid> around it), with
// `prefixDir` the prefix inside it. Folders are read by up to `threads` threads at once (0:
// one per processor).
PrefixUsage MeasurePrefix(const std::string& folder, const std::string& prefixDir,
                          unsigned threads = 0);

// The save folder a file belongs to, from its path relative to a prefix ("drive_c/users/ann/
// AppData/Roaming/Game/save.dat" gives "drive_c/users/ann/AppData/Roaming/Game"); empty when
// the file is no save.
std::string SaveFolderOf(const std::string& relativePath);

}  // namespace pgl
