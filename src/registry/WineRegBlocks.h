// Finding the key blocks of a Wine registry file without reading them: where each begins, which
// a reader may pass over, and where a file may be cut into pieces for several readers.
#pragma once

#include <cstddef>
#include <string_view>

#include "registry/WineRegFile.h"

namespace pgl::winereg {

// Where the next "\n[" begins at or after `from`, or npos.
std::size_t FindBlockStart(std::string_view bytes, std::size_t from);

// Where the key block after the one that starts at `start` starts (its "["), or npos.
std::size_t NextBlock(std::string_view bytes, std::size_t start);

// Whether the key block whose header starts at `start` (its "[") is read. Besides the blocks
// `keep` wants, a block is read whenever a full read would find something wrong in it (or may:
// when in doubt it is read), so that passing blocks over never hides a problem; and so is the
// last block of a file cut inside a line. When it is not read, sets `next` to the start of the
// following block, or npos.
bool BlockWanted(std::string_view bytes, std::size_t start, const BlockFilter& keep,
                 std::size_t& next);

// Where the key block whose header starts at `start` (its "[") ends, when a full read would
// find nothing wrong in it: the start of the next block (a line that begins with "["), or the
// size of `bytes` at their end. The header's name ends at `nameEnd` and its line at `headerEnd`
// (a line break, or the size of `bytes`). npos whenever it cannot tell cheaply (escapes other
// than "\\" and "\"", bytes outside ASCII, values out of order): only plain blocks, most of any
// file, are passed over. It allocates nothing.
std::size_t CleanBlockEnd(std::string_view bytes, std::size_t start, std::size_t nameEnd,
                          std::size_t headerEnd);

// Where the last key block of `bytes` begins at which another reader may take over: one whose
// line before does not continue a value. The line before a block that is not the file's first
// may have begun in the bytes before `bytes`, which always start at a line. npos when there is
// none.
std::size_t LastBlockCut(std::string_view bytes, bool fileStart);

}  // namespace pgl::winereg
