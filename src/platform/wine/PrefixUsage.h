// Measuring a Wine prefix: the disk its folder takes, the files the user's programs wrote in its
// profiles (saves), and when it was last used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/SaveFolders.h"
#include "platform/SystemUsage.h"

namespace pgl {

// Measures `folder` (the prefix, or a Proton game's compatdata/<appid> around it), with
// `prefixDir` the prefix inside it. Folders are read by up to `threads` threads at once (0:
// one per processor).
PrefixUsage MeasurePrefix(const std::string& folder, const std::string& prefixDir,
                          unsigned threads = 0);

// The disk a folder that is no prefix takes (a shader cache), as `du -s -B1` counts it; the
// folders that could not be read are added to `unreadable`.
std::uint64_t FolderDiskBytes(const std::string& folder, std::vector<std::string>& unreadable,
                              unsigned threads = 0);

}  // namespace pgl
