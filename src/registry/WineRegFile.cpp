// Reading a registry file: whole by one reader, or in pieces by several where it is large.
#include "registry/WineRegFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include "registry/WineRegParser.h"
#include "registry/WineRegPieces.h"

namespace pgl {

using namespace winereg;

namespace {

WineParseResult Parse(std::string_view bytes, WineHive& hive, const BlockFilter* keep,
                      std::size_t piecesFrom) {
  if (bytes.size() >= piecesFrom) {
    std::size_t offset = 0;
    const ByteSource fromMemory = [&](char* into, std::size_t size) -> std::ptrdiff_t {
      const std::size_t n = std::min(size, bytes.size() - offset);
      std::memcpy(into, bytes.data() + offset, n);
      offset += n;
      return static_cast<std::ptrdiff_t>(n);
    };
    // A small text forced into pieces is cut near its middle.
    const std::size_t size = std::min(PieceSizeFor(bytes.size()), bytes.size() / 2 + 1);
    std::optional<WineParseResult> result =
        ReadInPieces(fromMemory, size, true, Helpers(), keep, hive);
    if (result) return std::move(*result);
  }
  WineParseResult result;
  hive = WineHive{};
  ParseBlocks(bytes, hive, result, keep);
  return result;
}

std::size_t PiecesFrom() {
  static const std::size_t from = std::thread::hardware_concurrency() > 1
                                      ? kReadInPiecesFrom
                                      : std::numeric_limits<std::size_t>::max();
  return from;
}

}  // namespace

WineParseResult ParseWineRegistry(std::string_view bytes, WineHive& hive) {
  return Parse(bytes, hive, nullptr, PiecesFrom());
}

WineParseResult ParseWineRegistry(std::string_view bytes, WineHive& hive, const BlockFilter& keep) {
  return Parse(bytes, hive, &keep, PiecesFrom());
}

WineParseResult ParseWineRegistry(std::string_view bytes, WineHive& hive, const BlockFilter* keep,
                                  std::size_t piecesFrom) {
  return Parse(bytes, hive, keep, piecesFrom);
}

std::optional<WineParseResult> ParseWineRegistryStream(const ByteSource& source,
                                                       std::uint64_t sizeHint, WineHive& hive,
                                                       const BlockFilter* keep,
                                                       std::size_t pieceSize) {
  // A small file is read as one piece, into room for all of it and the end.
  const bool cutting = pieceSize > 0 || sizeHint >= kReadInPiecesFrom;
  const bool helped = cutting && (pieceSize > 0 || sizeHint >= kHelpedFrom);
  if (!pieceSize)
    pieceSize = !cutting ? static_cast<std::size_t>(sizeHint) + 4096
                : keep   ? kFilteredPieceSize
                         : PieceSizeFor(sizeHint);
  return ReadInPieces(source, pieceSize, cutting, helped ? Helpers() : 0, keep, hive);
}

}  // namespace pgl
