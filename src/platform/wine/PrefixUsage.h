// Measuring a Wine prefix: the disk its folder takes, the files the user's programs wrote in its
// profiles (saves), and when it was last used.
#pragma once

#include <string>

#include "platform/SaveFolders.h"
#include "platform/SystemUsage.h"

namespace pgl {

// Measures `folder` (the prefix, or a Proton game's compatdata/<appid> around it), with
// `prefixDir` the prefix inside it. Folders are read by up to `threads` threads at once (0:
// one per processor).
PrefixUsage MeasurePrefix(const std::string& folder, const std::string& prefixDir,
                          unsigned threads = 0);

}  // namespace pgl
