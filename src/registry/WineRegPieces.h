// Reading a large registry file in pieces on several threads, as it arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "registry/WineRegFile.h"

namespace pgl::winereg {

// Reads `source` in buffers of about `pieceSize` bytes; with `cutting`, each is cut at its last
// key block and the pieces are read by the caller and `helpers` threads, each into a tree of its
// own, then joined in the file's order. A few buffers are used again and again, so the file is
// never held whole and reading overlaps parsing. Empty when the source failed, a piece met a
// problem or the trees do not join; a file read as one piece answers what one reader answers,
// problems and all.
std::optional<WineParseResult> ReadInPieces(const ByteSource& source, std::size_t pieceSize,
                                            bool cutting, unsigned helpers, const BlockFilter* keep,
                                            WineHive& hive);

// The size of the pieces a file of `size` bytes is cut into.
std::size_t PieceSizeFor(std::uint64_t size);

// How many threads help the caller read pieces.
unsigned Helpers();

}  // namespace pgl::winereg
