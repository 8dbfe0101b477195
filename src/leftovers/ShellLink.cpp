#include "leftovers/ShellLink.h"

#include <cstdint>

#include "util/CodePage.h"
#include "util/Utf.h"

namespace pgl {

namespace {

constexpr std::uint32_t kHasIdList = 0x1, kHasLinkInfo = 0x2, kHasName = 0x4,
                        kHasRelativePath = 0x8, kHasWorkingDir = 0x10, kHasArguments = 0x20,
                        kHasIconLocation = 0x40, kIsUnicode = 0x80;
constexpr std::size_t kHeaderSize = 0x4C;
// The shell's own link class, {00021401-0000-0000-C000-000000000046}.
constexpr unsigned char kLinkClass[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool Has(std::size_t at, std::size_t size) const {
    return at <= bytes_.size() && size <= bytes_.size() - at;
  }
  std::uint32_t U16(std::size_t at) const {
    return Has(at, 2) ? static_cast<unsigned char>(bytes_[at]) |
                            (static_cast<unsigned char>(bytes_[at + 1]) << 8)
                      : 0;
  }
  std::uint32_t U32(std::size_t at) const { return Has(at, 4) ? U16(at) | (U16(at + 2) << 16) : 0; }
  // A zero-terminated ANSI text from `at` to at most `end`.
  std::string_view Ansi(std::size_t at, std::size_t end) const {
    if (at >= end || end > bytes_.size()) return {};
    const std::string_view rest = bytes_.substr(at, end - at);
    return rest.substr(0, rest.find('\0'));
  }
  // A zero-terminated UTF-16 text from `at` to at most `end`.
  std::u16string Wide(std::size_t at, std::size_t end) const {
    std::u16string out;
    for (std::size_t i = at; end <= bytes_.size() && i + 1 < end; i += 2) {
      const char16_t c = static_cast<char16_t>(U16(i));
      if (c == 0) break;
      out += c;
    }
    return out;
  }
  std::size_t Size() const { return bytes_.size(); }

 private:
  std::string_view bytes_;
};

std::string FromAnsi(std::string_view text, int codePage) {
  std::u16string units;
  if (!DecodeFromCodePage(text, codePage, units)) {
    units.clear();
    for (char c : text) units += static_cast<char16_t>(static_cast<unsigned char>(c));
  }
  return Utf16ToUtf8(units);
}

}  // namespace

std::optional<ShellLinkInfo> ReadShellLink(std::string_view bytes, int codePage) {
  const Reader r(bytes);
  if (r.U32(0) != kHeaderSize || !r.Has(0, kHeaderSize)) return std::nullopt;
  for (std::size_t i = 0; i < 16; ++i)
    if (static_cast<unsigned char>(bytes[4 + i]) != kLinkClass[i]) return std::nullopt;
  const std::uint32_t flags = r.U32(0x14);
  ShellLinkInfo info;
  std::size_t at = kHeaderSize;
  if (flags & kHasIdList) at += 2 + r.U16(at);
  if (flags & kHasLinkInfo) {
    const std::uint32_t size = r.U32(at);
    const std::size_t end = r.Has(at, size) ? at + size : r.Size();
    const std::uint32_t headerSize = r.U32(at + 4);
    const std::uint32_t infoFlags = r.U32(at + 8);
    if (infoFlags & 0x1) {
      std::string base, suffix;
      if (headerSize >= 0x24) {
        base = Utf16ToUtf8(r.Wide(at + r.U32(at + 0x1C), end));
        suffix = Utf16ToUtf8(r.Wide(at + r.U32(at + 0x20), end));
      }
      if (base.empty()) {
        base = FromAnsi(r.Ansi(at + r.U32(at + 0x10), end), codePage);
        suffix = FromAnsi(r.Ansi(at + r.U32(at + 0x18), end), codePage);
      }
      if (!suffix.empty() && !base.empty() && base.back() != '\\') base += '\\';
      info.target = base + suffix;
    }
    if (size < 4) return info;  // a size that would not move on
    at += size;
  }
  const bool unicode = flags & kIsUnicode;
  const auto text = [&](std::string* out) {
    const std::size_t count = r.U16(at);
    const std::size_t bytesLong = unicode ? count * 2 : count;
    if (!r.Has(at + 2, bytesLong)) {
      at = r.Size();
      return;
    }
    if (out)
      *out = unicode ? Utf16ToUtf8(r.Wide(at + 2, at + 2 + bytesLong))
                     : FromAnsi(r.Ansi(at + 2, at + 2 + bytesLong), codePage);
    at += 2 + bytesLong;
  };
  if (flags & kHasName) text(nullptr);
  if (flags & kHasRelativePath) text(&info.relativePath);
  if (flags & kHasWorkingDir) text(&info.workingDir);
  if (flags & kHasArguments) text(&info.arguments);
  if (flags & kHasIconLocation) text(&info.iconLocation);
  return info;
}

}  // namespace pgl
