// The reader of Wine's registry file text, one thread over one piece of it.
#pragma once

#include <string_view>

#include "registry/WineRegFile.h"

namespace pgl::winereg {

// Reads `bytes` into `hive`, noting what it does not understand in `result`. With `keep`, only
// the key blocks it wants are read (and those a full read would find fault with). `rest`: the
// bytes are a file's key blocks from one of them on, without the file's header.
void ParseBlocks(std::string_view bytes, WineHive& hive, WineParseResult& result,
                 const BlockFilter* keep, bool rest = false);

}  // namespace pgl::winereg
