#include "leftovers/SavesArchive.h"

#include "util/Utf.h"

namespace pgl {

std::string ArchiveName(const std::string& name, std::size_t maxBytes) {
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t start = i;
    const char32_t c = DecodeUtf8(name, i);
    const bool invalid = c == 0xFFFD && i - start == 1;
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    const std::string piece = invalid || control || c == '/' || c == '\\'
                                  ? std::string("_")
                                  : name.substr(start, i - start);
    if (out.size() + piece.size() > maxBytes) break;
    out += piece;
  }
  if (out.empty() || out == "." || out == "..") return "prefix";
  return out;
}

}  // namespace pgl
