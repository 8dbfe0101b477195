#include "util/FileIO.h"

#include <algorithm>

namespace pgl {

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                   std::size_t maxBytes) {
  bytes.clear();
  const bool read =
      ReadFileInPieces(path, error, maxBytes, [&](std::uint64_t size, const FileSource& source) {
        // Room for the file as opened and a byte more, which tells whether it grew meanwhile.
        std::size_t used = 0;
        bytes.resize(std::max<std::size_t>(static_cast<std::size_t>(size) + 1, 1 << 16));
        for (;;) {
          if (used == bytes.size()) bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
          const std::ptrdiff_t n = source(bytes.data() + used, bytes.size() - used);
          if (n <= 0) break;
          used += static_cast<std::size_t>(n);
        }
        bytes.resize(used);
      });
  if (!read) bytes.clear();
  return read;
}

}  // namespace pgl
