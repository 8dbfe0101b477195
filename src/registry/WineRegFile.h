// Reading and writing Wine's registry files (system.reg, user.reg) in the exact form
// wineserver saves them, so that an unchanged file is written back byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegTree.h"

namespace pgl {

struct WineHive {
  std::string relativeTo;  // the path after ";; All keys relative to "
  // False for a file without that line (Wine needs none: a user.reg of the header line alone is
  // an empty registry); it is then written without it too.
  bool hasRelativeTo = true;
  std::string arch;  // "win64", "win32", or empty when the file has no #arch line
  // How the file writes a key's time, taken from its first key, so that every key is written
  // back in the file's own form: "] <seconds>" then "#time=<FILETIME>" (Wine since 2018);
  // without "#time=" lines (older Wine); with the part of the second after the seconds, in
  // 100 ns units, on the key line ("] 1579782946 8976280": wine-staging and builds made from
  // it). A file whose keys mix forms does not write back as it was, and so is never changed.
  bool timeLines = true;
  bool subSeconds = false;
  std::unique_ptr<RegKey> root = std::make_unique<RegKey>(u"", nullptr);
};

struct WineParseResult {
  bool isRegistryFile = false;  // false: the first line is not Wine's
  // Lines the reader did not understand, as "line N: what"; such a file is never written back.
  std::vector<std::string> problems;
  bool Understood() const { return isRegistryFile && problems.empty(); }
};

// Chooses key blocks by their header path, as the file writes it (between "[" and "]").
using BlockFilter = std::function<bool(std::string_view path)>;

// A file of at least this many bytes is read in pieces on every core (where there are two or
// more): the pieces' trees are joined, unless a piece met a problem, in which case the file is
// read again by one thread (so that problems read the same either way).
inline constexpr std::size_t kReadInPiecesFrom = 256 * 1024;

WineParseResult ParseWineRegistry(std::string_view bytes, WineHive& hive);
// Reads only the key blocks `keep` wants; the others are passed over by their "\n[" headers
// without being decoded, as if WineRegistryBlocks had blanked them. A block a full read would
// find fault with is read all the same (they are checked as they are passed over), so that the
// problems are those a full read tells.
WineParseResult ParseWineRegistry(std::string_view bytes, WineHive& hive, const BlockFilter& keep);
// Either of the above (all blocks for a null `keep`), read in pieces from `piecesFrom` bytes on
// whatever the cores.
WineParseResult ParseWineRegistry(std::string_view bytes, WineHive& hive, const BlockFilter* keep,
                                  std::size_t piecesFrom);

// A read that passes over most blocks spends its time on the bytes, not the trees: pieces this
// small stay in the processor's cache between the read and the parse, and their few buffers are
// paid for once (a fresh page costs more than scanning it).
inline constexpr std::size_t kFilteredPieceSize = 32 * 1024;

// Below this size a file read as it arrives is parsed by the reader alone, piece after piece:
// a helper thread's start and the fresh memory of its tree cost more than it saves (measured on
// two cores, a whole list: with a 1.7 MB file 0.4 ms sooner of 7, with a 6 MB one 1.5 ms later).
inline constexpr std::size_t kHelpedFrom = 4 * 1024 * 1024;

// Where a file's bytes come from as it is read: fills up to `size` bytes at `into` and answers
// how many, 0 at the end, or -1 when no more can be read.
using ByteSource = std::function<std::ptrdiff_t(char* into, std::size_t size)>;

// Reads a file as it arrives, never holding it whole: from kReadInPiecesFrom bytes on (by
// `sizeHint`, the file's size when opened) it is cut at key blocks into pieces of up to a
// megabyte, or of kFilteredPieceSize when `keep` chooses blocks (or `pieceSize`, where given),
// read on every core (from kHelpedFrom bytes on, or where `pieceSize` is given) and joined. What it
// reads is what ParseWineRegistry reads of the same bytes. Empty when the source failed, or when a
// piece met a problem or the pieces' trees do not join: the caller then reads the file whole with
// ParseWineRegistry, so that problems and their lines read as one reader's.
std::optional<WineParseResult> ParseWineRegistryStream(const ByteSource& source,
                                                       std::uint64_t sizeHint, WineHive& hive,
                                                       const BlockFilter* keep,
                                                       std::size_t pieceSize = 0);

std::string WriteWineRegistry(const WineHive& hive);
// The same text in pieces of about a megabyte, for readers that need not hold it whole.
void WriteWineRegistryChunks(const WineHive& hive,
                             const std::function<void(std::string_view)>& sink);

// The text with only the key blocks `keep` wants; every other block is replaced by as many
// empty lines, so that line numbers stay those of the file. The header before the first key
// stays. A file that does not end with a line break keeps its last block, so that the cut is
// still seen. (What the filtered ParseWineRegistry reads, as text.)
std::string WineRegistryBlocks(std::string_view bytes, const BlockFilter& keep);

// Wine's escaping of a UTF-16 text; `specials` are the two characters that get a backslash.
// Answers the number of characters written, as Wine counts them for line wrapping.
std::size_t AppendWineEscaped(std::string& out, std::u16string_view text, const char* specials);

}  // namespace pgl
