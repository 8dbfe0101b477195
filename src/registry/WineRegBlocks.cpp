#include "registry/WineRegBlocks.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <string>

#include "registry/RegTree.h"
#include "registry/WineRegSyntax.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pgl::winereg {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Where the first byte at or after `p` is that is `a`, `b`, `c`, NUL or outside ASCII; the size
// of `s` when there is none. Sixteen bytes at a time where the machine has SSE2.
[[gnu::always_inline]] inline std::size_t NextStop(std::string_view s, std::size_t p, char a,
                                                   char b, char c) {
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
  const __m128i zero = _mm_setzero_si128();
  for (; p + 16 <= s.size(); p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.data() + p));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                     _mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, zero)));
    // The sign bit of each byte is set outside ASCII.
    if (const int mask = _mm_movemask_epi8(_mm_or_si128(hit, v)))
      return p + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask)));
  }
#endif
  for (; p < s.size(); ++p) {
    const char x = s[p];
    if (x == a || x == b || x == c || x == 0 || static_cast<unsigned char>(x) >= 0x80) return p;
  }
  return p;
}

// Whether every character is a decimal digit (true when there is none). Asked twice of every
// block header: a loop, not find_first_not_of, which searches the set once per character.
bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A blank inside a line.
bool IsBlank(char c) {
  return c != '\n' && IsSpace(c);
}

// Where the line that reaches `p` ends, when nothing but its end is at `p` (a line break, after
// at most one "\r", or the block's end): the position after it; kNone otherwise.
std::size_t LineEnd(std::string_view b, std::size_t p) {
  if (p < b.size() && b[p] == '\r') ++p;
  if (p == b.size()) return p;
  return b[p] == '\n' ? p + 1 : kNone;
}

// Passes over an escaped string from `p`, just after its opening quote, to its closing quote on
// the same line; answers where the string ends (after that quote), or kNone when the quote is
// missing or a NUL or a byte outside ASCII (which a full read decodes as UTF-8, and may refuse)
// comes first.
std::size_t StringEnd(std::string_view s, std::size_t p) {
  for (;;) {
    p = NextStop(s, p, '"', '\\', '\n');
    if (p >= s.size()) return kNone;
    const auto c = static_cast<unsigned char>(s[p]);
    if (c == '"') return p + 1;
    if (c >= 0x80 || c == '\n' || c == 0) return kNone;
    if (c == '\\' && (++p >= s.size() || s[p] == '\n' || s[p] == 0)) return kNone;
    ++p;
  }
}

// The next character of a value name as written at `p`, folded as names compare, stepping past
// it; -1 for an escape other than "\\" and "\"". The name never ends inside an escape.
int NextFolded(std::string_view raw, std::size_t& p) {
  char c = raw[p++];
  if (c == '\\') {
    c = raw[p++];
    if (c != '\\' && c != '"') return -1;
  }
  return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : static_cast<unsigned char>(c);
}

// Whether the value name `b` sorts after `a` (both as written, of ASCII only); false also when
// that cannot be told.
bool SortsAfter(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const int x = NextFolded(a, i), y = NextFolded(b, j);
    if (x < 0 || y < 0) return false;
    if (x != y) return x < y;
  }
  return i == a.size() && j < b.size();
}

// Whether a key path as a header writes it reads: parts split at "\\", none of them empty or
// with another escape, a NUL or a byte outside ASCII, no deeper than a registry holds.
bool KeyPathReads(std::string_view raw) {
  if (raw.empty()) return true;  // the file's root
  std::size_t depth = 1, partStart = 0, i = 0;
  for (;;) {
    i = NextStop(raw, i, ']', '\\', ']');
    if (i >= raw.size()) break;
    const auto c = static_cast<unsigned char>(raw[i]);
    if (c >= 0x80 || c == ']' || c == 0) return false;
    if (c != '\\') {
      ++i;
      continue;
    }
    if (i + 1 >= raw.size() || raw[i + 1] != '\\' || i == partStart) return false;
    if (++depth > kMaxRegKeyDepth) return false;
    i += 2;
    partStart = i;
  }
  return raw.size() > partStart;
}

// Passes over hex data ("xx,yy,...") from `p` to its line's end; kNone when it does not read.
// `continues` when the line ends with the backslash that carries the data on to the next line.
std::size_t HexDataEnd(std::string_view b, std::size_t p, bool& continues) {
  continues = false;
  // Three bytes at a time ("xx,"), most of any file.
  while (p + 3 <= b.size() && IsHex(b[p]) && IsHex(b[p + 1]) && b[p + 2] == ',') p += 3;
  if (p + 2 <= b.size() && IsHex(b[p]) && IsHex(b[p + 1])) return LineEnd(b, p + 2);
  if (p < b.size() && b[p] == '\\') {
    const std::size_t end = LineEnd(b, p + 1);
    continues = end != kNone;
    return end;
  }
  return LineEnd(b, p);
}

// Passes over the option line ("#time=", "#class=", "#link") at `p`; kNone when it does not read.
std::size_t OptionEnd(std::string_view b, std::size_t p) {
  const std::string_view line = b.substr(p);
  if (line.starts_with("#time=")) {
    std::size_t q = p + 6;
    while (q < b.size() && IsHex(b[q])) ++q;
    return q == p + 6 ? kNone : LineEnd(b, q);
  }
  if (line.starts_with("#class=\"")) {
    const std::size_t end = StringEnd(b, p + 8);
    return end == kNone ? kNone : LineEnd(b, end);
  }
  return line.starts_with("#link") ? LineEnd(b, p + 5) : kNone;
}

// Passes over the value line at `p`; kNone when it does not read. Sets `name` to the value's
// name as written and `continues` when its hex data goes on to the next line.
std::size_t ValueEnd(std::string_view b, std::size_t p, std::string_view& name, bool& continues) {
  continues = false;
  name = {};
  if (b[p] == '"') {
    const std::size_t end = StringEnd(b, p + 1);
    if (end == kNone) return kNone;
    name = b.substr(p + 1, end - p - 2);
    p = end;
  } else {
    ++p;  // "@", the default value
  }
  while (p < b.size() && IsBlank(b[p])) ++p;
  if (p >= b.size() || b[p] != '=') return kNone;
  ++p;
  while (p < b.size() && IsBlank(b[p])) ++p;
  const std::string_view data = b.substr(p);
  for (const std::string_view tag : {"\"", "str:\"", "str(2):\"", "str(7):\""}) {
    if (!data.starts_with(tag)) continue;
    const std::size_t end = StringEnd(b, p + tag.size());
    return end == kNone ? kNone : LineEnd(b, end);
  }
  if (data.starts_with("dword:")) {
    const std::size_t from = p + 6;
    std::size_t q = from;
    while (q < b.size() && q - from < 8 && IsHex(b[q])) ++q;
    return q == from ? kNone : LineEnd(b, q);
  }
  if (data.starts_with("hex:")) return HexDataEnd(b, p + 4, continues);
  if (!data.starts_with("hex(")) return kNone;
  std::size_t q = p + 4;
  while (q < b.size() && q - p < 12 && IsHex(b[q])) ++q;
  if (q == p + 4 || b.substr(q, 2) != "):") return kNone;
  return HexDataEnd(b, q + 2, continues);
}

}  // namespace

std::size_t FindBlockStart(std::string_view bytes, std::size_t from) {
  // A '[' is far rarer than a line break, so it is what is searched for.
  for (std::size_t p = from + 1; p < bytes.size(); ++p) {
    const void* hit = std::memchr(bytes.data() + p, '[', bytes.size() - p);
    if (!hit) break;
    p = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
    if (bytes[p - 1] == '\n') return p - 1;
  }
  return kNone;
}

std::size_t NextBlock(std::string_view bytes, std::size_t start) {
  const std::size_t nl = FindBlockStart(bytes, start);
  return nl == kNone ? nl : nl + 1;
}

std::size_t CleanBlockEnd(std::string_view bytes, std::size_t start, std::size_t nameEnd,
                          std::size_t headerEnd) {
  if (!KeyPathReads(bytes.substr(start + 1, nameEnd - start - 1))) return kNone;
  // The header's time is the caller's to judge.
  if (headerEnd >= bytes.size()) return bytes.size();
  std::size_t p = headerEnd + 1;
  std::string_view previous;
  bool first = true, continues = false;
  while (p != kNone && p < bytes.size()) {
    // The next block: a line that begins with "[", unless a value runs on into it.
    if (bytes[p] == '[') return continues ? kNone : p;
    while (p < bytes.size() && IsBlank(bytes[p])) ++p;
    if (p == bytes.size()) break;
    if (continues) {
      p = HexDataEnd(bytes, p, continues);
      continue;
    }
    switch (bytes[p]) {
      case '\n':
        ++p;
        break;
      case '#':
        p = OptionEnd(bytes, p);
        break;
      case '"':
      case '@': {
        std::string_view name;
        p = ValueEnd(bytes, p, name, continues);
        // A full read notes a name listed twice; in Wine's order each sorts after the last.
        if (!first && !SortsAfter(previous, name)) return kNone;
        previous = name;
        first = false;
        break;
      }
      default:
        return kNone;
    }
  }
  return p != kNone && !continues ? bytes.size() : kNone;
}

bool BlockWanted(std::string_view bytes, std::size_t start, const BlockFilter& keep,
                 std::size_t& next) {
  // A header that a value of the line before runs into is read as that value's data.
  if (start >= 2 && (bytes[start - 2] == '\\' ||
                     (start >= 3 && bytes[start - 2] == '\r' && bytes[start - 3] == '\\')))
    return true;
  const std::size_t lineEnd = std::min(bytes.find('\n', start), bytes.size());
  const std::size_t close = bytes.substr(0, lineEnd).find("] ", start);
  if (close == kNone) return true;
  std::string_view time = bytes.substr(close + 2, lineEnd - close - 2);
  // wine-staging's part of the second after the seconds: below 10^7, so at most 7 digits.
  if (const std::size_t blank = time.find(' '); blank != time.npos) {
    const std::string_view fraction = time.substr(blank + 1);
    if (fraction.empty() || fraction.size() > 7 || !AllDigits(fraction)) return true;
    time = time.substr(0, blank);
  }
  if (time.empty() || time.size() > 10 || !AllDigits(time) ||
      (time.size() == 10 && time > "4294967295"))
    return true;
  if (keep(bytes.substr(start + 1, close - start - 1))) return true;
  const std::size_t end = CleanBlockEnd(bytes, start, close, lineEnd);
  if (end == kNone) return true;
  next = end == bytes.size() ? kNone : end;
  const bool cut = !bytes.empty() && bytes.back() != '\n';
  return cut && next == kNone;
}

std::size_t LastBlockCut(std::string_view bytes, bool fileStart) {
  for (std::size_t at = bytes.rfind("\n["); at != kNone;
       at = at == 0 ? kNone : bytes.rfind("\n[", at - 1)) {
    const std::size_t lineStart = at == 0 ? kNone : bytes.rfind('\n', at - 1);
    if (lineStart == kNone && fileStart) continue;  // the file's first line
    const std::size_t from = lineStart == kNone ? 0 : lineStart + 1;
    const std::string_view before = bytes.substr(from, at - from);
    if (!before.ends_with('\\') && !before.ends_with("\\\r")) return at + 1;
  }
  return kNone;
}

}  // namespace pgl::winereg

namespace pgl {

std::string WineRegistryBlocks(std::string_view bytes, const BlockFilter& keep) {
  using namespace winereg;
  std::string out;
  const std::size_t at = FindBlockStart(bytes, 0);
  out.append(bytes.substr(0, at == kNone ? bytes.size() : at + 1));
  std::size_t start = at == kNone ? at : at + 1;
  while (start != kNone) {
    std::size_t next = 0;
    const bool wanted = BlockWanted(bytes, start, keep, next);
    if (wanted) next = NextBlock(bytes, start);  // a passed-over block has found it already
    const std::string_view block =
        bytes.substr(start, (next == kNone ? bytes.size() : next) - start);
    if (wanted)
      out.append(block);
    else
      out.append(static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n')), '\n');
    start = next;
  }
  return out;
}

}  // namespace pgl
