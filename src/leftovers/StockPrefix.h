// What a new Wine prefix already holds: the folders wineboot makes below drive_c and the registry
// keys it writes below Software. They belong to Wine and to every program, never to one.
#pragma once

#include <span>
#include <string_view>

#include "registry/RegTree.h"

namespace pgl {

// The folders below drive_c of a new prefix, with "/" between parts; "users/*" stands for each
// profile. Those marked `whole` are Wine's own with everything in them.
struct StockFolder {
  std::string_view path;
  bool whole = false;
};
std::span<const StockFolder> StockFolders();

// Whether a new prefix holds the key, or a key below it, at a depth a program's own key could
// have: `Software`, a maker's key (`Software\Microsoft`, `Software\Wine`, ...), the keys below
// those, Wine's classes (`Software\Classes\txtfile`) and its App Paths programs. The names are
// compared without regard to case; `Software\Wow6432Node\X` is the 32-bit view of `Software\X`.
bool IsStockKey(RootKey root, std::string_view keyPath);

}  // namespace pgl
