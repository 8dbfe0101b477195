// The reader of Wine's registry file text, one thread over one piece of it.
#pragma once

#include <string_view>

#include "registry/WineRegFile.h"

namespace pgl::winereg {

// Reads `bytes` into `hive`, noting what it does not understand in `result`. With `keep`, only
// the key blocks it wants are read (and those a full read would find fault with). `rest`: the
// bytes are a file's key blocks from one of them on, without the file's header. The values'
// storage comes from `arena` when given (it must live as long as the values), else from the
// hive's root.
void ParseBlocks(std::string_view bytes, WineHive& hive, WineParseResult& result,
                 const BlockFilter* keep, bool rest = false, RegArena* arena = nullptr);

}  // namespace pgl::winereg
