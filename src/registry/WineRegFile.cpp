#include "registry/WineRegFile.h"

#include <algorithm>
#include <array>
#include <bit>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace pgl {

namespace {

constexpr std::string_view kFirstLine = "WINE REGISTRY Version 2";
// Keys deeper than kMaxRegKeyDepth are left out.
constexpr const char* kTooDeep = "key nested deeper than 512 levels (left out)";
constexpr std::string_view kRelativeTo = ";; All keys relative to ";
constexpr std::int64_t kTicks1601To1970 = 116444736000000000ll;
constexpr std::int64_t kTicksPerSecond = 10000000;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
// The value of each hex digit by its byte, -1 for any other byte: hex data is most of a file.
constexpr std::array<std::int8_t, 256> kHexDigits = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<std::int8_t>(c);
  for (int c = 0; c < 6; ++c) {
    table['a' + c] = static_cast<std::int8_t>(10 + c);
    table['A' + c] = static_cast<std::int8_t>(10 + c);
  }
  return table;
}();
// The byte of each pair of hex digits, by the pair's two bytes (the first the low one); -1 for
// any other pair. Made when the program is built.
constexpr std::array<std::int16_t, 65536> kHexPairs = [] {
  std::array<std::int16_t, 65536> table{};
  for (int first = 0; first < 256; ++first)
    for (int second = 0; second < 256; ++second)
      table[first | (second << 8)] =
          kHexDigits[first] < 0 || kHexDigits[second] < 0
              ? std::int16_t{-1}
              : static_cast<std::int16_t>(kHexDigits[first] * 16 + kHexDigits[second]);
  return table;
}();
int HexPair(const char* at) {
  return kHexPairs[static_cast<unsigned char>(at[0]) | (static_cast<unsigned char>(at[1]) << 8)];
}
bool IsHex(char c) {
  return kHexDigits[static_cast<unsigned char>(c)] >= 0;
}
int HexValue(char c) {
  return kHexDigits[static_cast<unsigned char>(c)];
}

// Splits the file into lines without their "\n" and a trailing "\r".
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    lineStart_ = pos_;
    numberAt_ = pos_;
    afterLast_ = 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    return true;
  }
  // The number of lines read or passed over so far (that of the line last read). Only problems
  // need it: the lines are counted when asked, from where the last count stopped.
  int Number() const {
    for (std::size_t at = text_.find('\n', counted_); at < numberAt_; at = text_.find('\n', at + 1))
      ++lines_;
    counted_ = std::max(counted_, numberAt_);
    return lines_ + afterLast_;
  }
  // Where the line last read starts.
  std::size_t LineStart() const { return lineStart_; }
  // Moves on to `pos` (a line's start), passing over the lines before it.
  void SkipTo(std::size_t pos) {
    pos_ = pos;
    numberAt_ = std::min(pos, text_.size());
    afterLast_ = 0;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t lineStart_ = 0;
  // Number() counts the line breaks before numberAt_, plus one while on a line just read.
  std::size_t numberAt_ = 0;
  int afterLast_ = 0;
  mutable std::size_t counted_ = 0;  // the line breaks before here are in lines_
  mutable int lines_ = 0;
};

// Where the next "\n[" begins at or after `from`. A '[' is far rarer than a line break, so
// it is what is searched for.
std::size_t FindBlockStart(std::string_view bytes, std::size_t from) {
  for (std::size_t p = from + 1; p < bytes.size(); ++p) {
    const void* hit = std::memchr(bytes.data() + p, '[', bytes.size() - p);
    if (!hit) break;
    p = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
    if (bytes[p - 1] == '\n') return p - 1;
  }
  return std::string_view::npos;
}

// Where the key block after the one that starts at `start` starts (its "["), or npos.
std::size_t NextBlock(std::string_view bytes, std::size_t start) {
  const std::size_t nl = FindBlockStart(bytes, start);
  return nl == std::string_view::npos ? nl : nl + 1;
}

// Whether the key block whose header starts at `start` (its "[") is read: a header that cannot
// be judged is, and so is the last block of a file cut inside a line, so that the reader still
// names what is wrong. When it is not, sets `next` to the start of the following block, or npos.
bool BlockWanted(std::string_view bytes, std::size_t start, const BlockFilter& keep,
                 std::size_t& next) {
  const std::size_t lineEnd = std::min(bytes.find('\n', start), bytes.size());
  const std::size_t close = bytes.substr(0, lineEnd).find("] ", start);
  if (close == std::string_view::npos) return true;
  // A header whose time a full read refuses is read, so that the same problem is told.
  const std::string_view time = bytes.substr(close + 2, lineEnd - close - 2);
  if (time.empty() || time.size() > 10 || time.find_first_not_of("0123456789") != time.npos ||
      (time.size() == 10 && time > "4294967295"))
    return true;
  if (keep(bytes.substr(start + 1, close - start - 1))) return true;
  next = NextBlock(bytes, start);
  const bool cut = !bytes.empty() && bytes.back() != '\n';
  return cut && next == std::string_view::npos;
}

// The eight bytes at `s` with the high bit of each that is `end`, a backslash or outside
// ASCII set (a byte after such a one may be marked too, never one before it): on a
// little-endian machine, the first marked byte is where a plain run stops.
inline std::uint64_t StopMarks(const char* s, char end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  std::uint64_t bytes;
  std::memcpy(&bytes, s, 8);
  const auto hasZeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  return (bytes | hasZeroByte(bytes ^ (kOnes * static_cast<unsigned char>(end))) |
          hasZeroByte(bytes ^ (kOnes * '\\'))) &
         kHighs;
}

// Reads an escaped string up to `end`; answers the characters consumed including `end`,
// or 0 when `end` is missing or the escapes are broken.
std::size_t ParseEscaped(std::string_view in, char end, std::u16string& out,
                         bool toEndOfInput = false) {
  out.clear();
  std::size_t p = 0;
  while (p < in.size() && in[p] != end) {
    const unsigned char c = static_cast<unsigned char>(in[p]);
    if (c != '\\' && c < 0x80) {
      // A run of plain characters, found eight at a time and copied at once.
      std::size_t q = p + 1;
      bool stopped = false;
      for (; q + 8 <= in.size(); q += 8)
        if (const std::uint64_t marks = StopMarks(in.data() + q, end)) {
          if constexpr (std::endian::native == std::endian::little) {
            q += static_cast<std::size_t>(std::countr_zero(marks)) / 8;
            stopped = true;
          }
          break;
        }
      while (!stopped && q < in.size() && in[q] != end && in[q] != '\\' &&
             static_cast<unsigned char>(in[q]) < 0x80)
        ++q;
      const std::size_t old = out.size();
      out.resize(old + (q - p));
      char16_t* into = out.data() + old;
      for (std::size_t k = p; k < q; ++k) *into++ = static_cast<char16_t>(in[k]);
      p = q;
      continue;
    }
    if (c == '\\') {
      if (++p >= in.size()) return 0;
      const char e = in[p];
      switch (e) {
        case 'a':
          out += u'\a';
          ++p;
          break;
        case 'b':
          out += u'\b';
          ++p;
          break;
        case 'e':
          out += char16_t(0x1B);
          ++p;
          break;
        case 'f':
          out += u'\f';
          ++p;
          break;
        case 'n':
          out += u'\n';
          ++p;
          break;
        case 'r':
          out += u'\r';
          ++p;
          break;
        case 't':
          out += u'\t';
          ++p;
          break;
        case 'v':
          out += u'\v';
          ++p;
          break;
        case 'x': {
          ++p;
          if (p >= in.size() || !IsHex(in[p])) {
            out += u'x';
            break;
          }
          unsigned v = 0;
          for (int k = 0; k < 4 && p < in.size() && IsHex(in[p]); ++k)
            v = v * 16 + HexValue(in[p++]);
          out += static_cast<char16_t>(v);
          break;
        }
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7': {
          unsigned v = 0;
          for (int k = 0; k < 3 && p < in.size() && in[p] >= '0' && in[p] <= '7'; ++k)
            v = v * 8 + (in[p++] - '0');
          out += static_cast<char16_t>(v);
          break;
        }
        default:
          out += static_cast<char16_t>(static_cast<unsigned char>(e));
          ++p;
      }
    } else if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++p;
    } else {
      // Raw UTF-8, which Wine accepts but never writes.
      int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
      if (extra < 0 || p + extra >= in.size()) return 0;
      char32_t cp = c & (0x3F >> extra);
      for (int k = 1; k <= extra; ++k) {
        const unsigned char cc = static_cast<unsigned char>(in[p + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
      }
      p += extra + 1;
      if (cp >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        out += static_cast<char16_t>(cp);
      }
    }
  }
  if (p >= in.size()) return toEndOfInput ? p : 0;
  return p + 1;
}

// Parses "xx,yy,..." and answers how many characters it used; false on a bad byte.
bool ParseHexList(std::string_view in, std::string& out, std::size_t& used) {
  std::size_t p = 0;
  while (p < in.size() && IsHex(in[p])) {
    if (p + 2 < in.size() && in[p + 2] == ',' && IsHex(in[p + 1])) {
      // The common case, most of a file: a run of two digits and a comma each, written into
      // room made once for the run. A blank ends the run: blanks are passed over below.
      const std::size_t old = out.size();
      out.resize(old + (in.size() - p) / 3 + 1);
      char* next = out.data() + old;
      do {
        const int byte = HexPair(in.data() + p);
        if (byte < 0) break;
        *next++ = static_cast<char>(byte);
        p += 3;
      } while (p + 2 < in.size() && in[p + 2] == ',');
      out.resize(static_cast<std::size_t>(next - out.data()));
      while (p < in.size() && IsSpace(in[p])) ++p;
      continue;
    }
    unsigned v = 0;
    std::size_t digits = 0;
    while (p < in.size() && IsHex(in[p])) {
      v = v * 16 + HexValue(in[p++]);
      if (++digits > 2) return false;
    }
    out += static_cast<char>(v);
    while (p < in.size() && IsSpace(in[p])) ++p;
    if (p < in.size() && in[p] == ',') ++p;
    while (p < in.size() && IsSpace(in[p])) ++p;
  }
  used = p;
  return true;
}

void UpdateKeyTime(RegKey* key, std::uint64_t modified) {
  while (key && !key->modified) {
    key->modified = modified;
    key = key->Parent();
  }
}

class Parser {
 public:
  // `rest`: the bytes are a file's key blocks from one of them on, without the file's header.
  Parser(std::string_view bytes, WineHive& hive, WineParseResult& result, const BlockFilter* keep,
         bool rest = false)
      : bytes_(bytes),
        lines_(bytes),
        hive_(hive),
        result_(result),
        keep_(keep),
        rest_(rest),
        seenRelativeTo_(rest) {}

  void Run() {
    std::string_view line;
    if (!rest_) {
      if (!lines_.Next(line) || line != kFirstLine) return;
      result_.isRegistryFile = true;
    }
    while (lines_.Next(line)) {
      std::size_t next = 0;
      if (keep_ && !line.empty() && line[0] == '[' &&
          !BlockWanted(bytes_, lines_.LineStart(), *keep_, next)) {
        // A block nobody asked for: its lines are counted, not read.
        LeaveKey();
        key_ = nullptr;
        lines_.SkipTo(next == std::string_view::npos ? bytes_.size() : next);
        continue;
      }
      std::size_t p = 0;
      while (p < line.size() && IsSpace(line[p])) ++p;
      line.remove_prefix(p);
      if (line.empty()) continue;
      if (line.find('\0') != std::string_view::npos) {
        // Wine's own reader ends a line at a NUL byte: such a line (and the values after a
        // key line of that kind) is not read, and the file is never written back.
        Problem("a NUL byte inside a line");
        LeaveKey();
        key_ = nullptr;
        continue;
      }
      switch (line[0]) {
        case '[':
          Key(line.substr(1));
          break;
        case '@':
        case '"':
          if (key_)
            Value(line);
          else
            Problem("value outside any key");
          break;
        case '#':
          Option(line);
          break;
        case ';':
          if (line.starts_with(kRelativeTo) && !seenRelativeTo_) {
            hive_.relativeTo = std::string(line.substr(kRelativeTo.size()));
            seenRelativeTo_ = true;
          } else {
            Problem("comment line");
          }
          break;
        default:
          Problem("unrecognized line");
      }
    }
    LeaveKey();
    if (!seenRelativeTo_) Problem("no \";; All keys relative to\" line");
    if (!bytes_.empty() && bytes_.back() != '\n')
      Problem("the file ends inside a line: it is truncated");
  }

 private:
  // The key's values are complete: its time is set and its storage trimmed.
  void LeaveKey() {
    if (!key_) return;
    UpdateKeyTime(key_, pendingTime_);
    key_->ShrinkValues();
  }

  void Problem(std::string what) {
    if (result_.problems.size() < 20)
      result_.problems.push_back("line " + std::to_string(lines_.Number()) + ": " + what);
  }

  void Key(std::string_view rest) {
    LeaveKey();
    key_ = nullptr;
    // Split the escaped path at its separators ("\\" in the file) without decoding it: keys
    // come in tree order, so most segments equal the previous key's and their keys are
    // remembered; only new segments are decoded and looked up.
    std::size_t i = 0, segmentStart = 0, depth = 0;
    bool tooDeep = false;
    RegKey* key = hive_.root.get();
    const auto segment = [&](std::string_view raw) -> bool {
      if (depth < chain_.size() && chain_[depth].first == raw) {
        key = chain_[depth++].second;
        return true;
      }
      chain_.resize(depth);
      if (raw.empty()) return false;
      if (depth >= kMaxRegKeyDepth) {
        tooDeep = true;
        return false;
      }
      if (!ParseEscaped(raw, '\0', scratch_, true) || scratch_.find(u'\\') != std::u16string::npos)
        return false;
      key = &key->EnsureSubKey(scratch_);
      chain_.emplace_back(std::string(raw), key);
      ++depth;
      return true;
    };
    while (i < rest.size() && rest[i] != ']') {
      if (rest[i] != '\\') {
        ++i;
      } else if (i + 1 < rest.size() && rest[i + 1] == '\\') {
        if (!segment(rest.substr(segmentStart, i - segmentStart)))
          return Problem(tooDeep ? kTooDeep : "malformed key name");
        i += 2;
        segmentStart = i;
      } else {
        i += 2;
      }
    }
    if (i >= rest.size()) return Problem("malformed key name");
    if ((i > segmentStart || depth > 0) && !segment(rest.substr(segmentStart, i - segmentStart)))
      return Problem(tooDeep ? kTooDeep : "malformed key name");
    chain_.resize(depth);
    std::string_view after = rest.substr(i + 1);
    std::uint64_t seconds = 0;
    std::size_t p = 0;
    while (p < after.size() && after[p] == ' ') ++p;
    bool haveSeconds = false;
    while (p < after.size() && after[p] >= '0' && after[p] <= '9') {
      if (seconds <= 0xFFFFFFFFull) seconds = seconds * 10 + static_cast<unsigned>(after[p] - '0');
      ++p;
      haveSeconds = true;
    }
    if (p != after.size()) Problem("unexpected text after the key name");
    if (seconds > 0xFFFFFFFFull) {
      Problem("key time out of range");
      seconds = 0;
    }
    pendingTime_ =
        haveSeconds ? static_cast<std::uint64_t>(
                          static_cast<std::int64_t>(seconds) * kTicksPerSecond + kTicks1601To1970)
                    : FileTimeNow();
    key_ = key;
  }

  void Option(std::string_view line) {
    if (!key_) {
      if (line.starts_with("#arch=")) {
        const auto arch = line.substr(6);
        if (arch != "win32" && arch != "win64") Problem("unknown architecture");
        hive_.arch = std::string(arch);
      } else {
        Problem("unknown option");
      }
      return;
    }
    if (line.starts_with("#time=")) {
      std::uint64_t t = 0;
      std::size_t p = 6;
      for (; p < line.size() && IsHex(line[p]); ++p) t = (t << 4) | HexValue(line[p]);
      if (p != line.size() || p == 6) Problem("malformed #time");
      UpdateKeyTime(key_, t);
    } else if (line.starts_with("#class=\"")) {
      const std::size_t used = ParseEscaped(line.substr(8), '"', scratch_);
      if (!used || 8 + used != line.size()) return Problem("malformed #class");
      key_->SetClassName(scratch_);
    } else if (line == "#link") {
      key_->isLink = true;
    } else {
      Problem("unknown key option");
    }
  }

  void Value(std::string_view line) {
    std::u16string& name = name_;
    name.clear();
    std::size_t p = 1;
    if (line[0] == '"') {
      const std::size_t used = ParseEscaped(line.substr(1), '"', name);
      if (!used) return Problem("malformed value name");
      p = 1 + used;
    }
    while (p < line.size() && IsSpace(line[p])) ++p;
    if (p >= line.size() || line[p] != '=') return Problem("malformed value name");
    ++p;
    while (p < line.size() && IsSpace(line[p])) ++p;
    std::string_view data = line.substr(p);

    std::uint32_t type = 0;
    enum { kString, kDword, kHex } parse;
    if (data.starts_with("\"")) {
      type = kRegSz, parse = kString, data.remove_prefix(1);
    } else if (data.starts_with("str:\"")) {
      type = kRegSz, parse = kString, data.remove_prefix(5);
    } else if (data.starts_with("str(2):\"")) {
      type = kRegExpandSz, parse = kString, data.remove_prefix(8);
    } else if (data.starts_with("str(7):\"")) {
      type = kRegMultiSz, parse = kString, data.remove_prefix(8);
    } else if (data.starts_with("hex:")) {
      type = kRegBinary, parse = kHex, data.remove_prefix(4);
    } else if (data.starts_with("dword:")) {
      type = kRegDword, parse = kDword, data.remove_prefix(6);
    } else if (data.starts_with("hex(")) {
      std::size_t q = 4;
      unsigned long t = 0;
      while (q < data.size() && IsHex(data[q]) && q < 12) t = t * 16 + HexValue(data[q++]);
      if (q == 4 || !data.substr(q).starts_with("):")) return Problem("malformed value type");
      type = static_cast<std::uint32_t>(t), parse = kHex, data.remove_prefix(q + 2);
    } else {
      return Problem("unknown value type");
    }

    std::string& bytes = data_;
    bytes.clear();
    if (parse == kString) {
      const std::size_t used = ParseEscaped(data, '"', scratch_);
      if (!used || used != data.size()) return Problem("malformed string value");
      AssignRegText(bytes, scratch_);
    } else if (parse == kDword) {
      std::uint32_t v = 0;
      std::size_t q = 0;
      for (; q < data.size() && IsHex(data[q]) && q < 8; ++q) v = (v << 4) | HexValue(data[q]);
      if (q == 0 || q != data.size()) return Problem("malformed dword value");
      bytes = DwordToRegData(v);
    } else {
      for (;;) {
        std::size_t used = 0;
        if (!ParseHexList(data, bytes, used)) return Problem("malformed hex value");
        data.remove_prefix(used);
        if (data.empty()) break;
        if (data != "\\") return Problem("malformed hex value");
        std::string_view next;
        if (!lines_.Next(next)) return Problem("hex value cut short");
        std::size_t following = 0;
        if (keep_ && !next.empty() && next[0] == '[' &&
            !BlockWanted(bytes_, lines_.LineStart(), *keep_, following)) {
          // The value runs into a block that is passed over, which reads as an empty line.
          lines_.SkipTo(following == std::string_view::npos ? bytes_.size() : following);
          next = {};
        }
        std::size_t s = 0;
        while (s < next.size() && IsSpace(next[s])) ++s;
        data = next.substr(s);
      }
    }
    // In a file in Wine's order each value sorts after the one before; look further only
    // when it does not.
    const auto& values = key_->Values();
    if (values.empty() || CompareRegNames(values.back().Name(), name) < 0) {
      key_->AppendValue(name, type, bytes, &hive_.root->Arena());
      return;
    }
    if (key_->FindValue(name)) Problem("value listed twice");
    key_->SetValue(name, type, bytes, &hive_.root->Arena());
  }

  std::string_view bytes_;
  LineReader lines_;
  WineHive& hive_;
  WineParseResult& result_;
  const BlockFilter* keep_;
  bool rest_;
  RegKey* key_ = nullptr;
  std::uint64_t pendingTime_ = 0;
  bool seenRelativeTo_ = false;
  std::u16string scratch_;
  std::u16string name_;  // the value's name, its storage reused from value to value
  std::string data_;     // the value's data, likewise
  std::vector<std::pair<std::string, RegKey*>> chain_;  // the previous key's path, as written
};

void AppendHex2(std::string& out, unsigned char b) {
  static const char digits[] = "0123456789abcdef";
  out += digits[b >> 4];
  out += digits[b & 15];
}

void WriteValue(std::string& out, const RegValue& v) {
  std::size_t count;
  if (!v.Name().empty()) {
    out += '"';
    count = 1 + AppendWineEscaped(out, v.Name(), "\"\"");
    out += "\"=";
    count += 2;
  } else {
    out += "@=";
    count = 2;
  }
  const std::size_t len = v.Data().size();
  switch (v.type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz:
      if (len >= 2 && len % 2 == 0 && v.Data()[len - 1] == 0 && v.Data()[len - 2] == 0) {
        if (v.type != kRegSz) {
          char tag[16];
          std::snprintf(tag, sizeof tag, "str(%x):", v.type);
          out += tag;
        }
        out += '"';
        // Everything but the terminating zero.
        AppendWineEscaped(out, Utf16LeUnits(std::string_view(v.Data()).substr(0, len - 2)), "\"\"");
        out += "\"\n";
        return;
      }
      break;
    case kRegDword:
      if (len == 4) {
        char text[16];
        std::uint32_t dw = 0;
        for (int i = 3; i >= 0; --i) dw = (dw << 8) | static_cast<unsigned char>(v.Data()[i]);
        std::snprintf(text, sizeof text, "dword:%08x\n", dw);
        out += text;
        return;
      }
      break;
  }
  char tag[20];
  if (v.type == kRegBinary)
    std::snprintf(tag, sizeof tag, "hex:");
  else
    std::snprintf(tag, sizeof tag, "hex(%x):", v.type);
  out += tag;
  count += std::strlen(tag);
  for (std::size_t i = 0; i < len; ++i) {
    AppendHex2(out, static_cast<unsigned char>(v.Data()[i]));
    count += 2;
    if (i < len - 1) {
      out += ',';
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out += '\n';
}

void AppendPath(std::string& out, const RegKey& key, const RegKey& base) {
  if (key.Parent() && key.Parent() != &base) {
    AppendPath(out, *key.Parent(), base);
    out += "\\\\";
  }
  AppendWineEscaped(out, key.Name(), "[]");
}

// Hands the text written so far to `flush` (when given) once it holds a megabyte.
using Flush = std::function<void(std::string_view)>;
void MaybeFlush(std::string& out, const Flush* flush) {
  if (flush && out.size() >= (1u << 20)) {
    (*flush)(out);
    out.clear();
  }
}

void WriteKeys(std::string& out, const RegKey& key, const RegKey& base, const Flush* flush) {
  if (!key.Values().empty() || key.SubKeys().empty() || key.ClassName() || key.isLink) {
    out += "\n[";
    if (&key != &base) AppendPath(out, key, base);
    char text[64];
    // The seconds as wineserver computes them, in 64-bit arithmetic that wraps for a time
    // past 2^63 (done on unsigned numbers here, where a wrap is defined).
    const auto sinceUnixEpoch =
        static_cast<std::int64_t>(key.modified - static_cast<std::uint64_t>(kTicks1601To1970));
    std::snprintf(text, sizeof text, "] %u\n#time=%x%08x\n",
                  static_cast<unsigned>(sinceUnixEpoch / kTicksPerSecond),
                  static_cast<unsigned>(key.modified >> 32),
                  static_cast<unsigned>(key.modified & 0xFFFFFFFFu));
    out += text;
    if (const auto className = key.ClassName()) {
      out += "#class=\"";
      AppendWineEscaped(out, *className, "\"\"");
      out += "\"\n";
    }
    if (key.isLink) out += "#link\n";
    for (const auto& v : key.Values()) WriteValue(out, v);
    MaybeFlush(out, flush);
  }
  for (const auto& sub : key.SubKeys()) WriteKeys(out, *sub, base, flush);
}

std::string WriteHeader(const WineHive& hive) {
  std::string out;
  out += kFirstLine;
  out += '\n';
  out += kRelativeTo;
  out += hive.relativeTo;
  out += '\n';
  if (!hive.arch.empty()) {
    out += "\n#arch=";
    out += hive.arch;
    out += '\n';
  }
  return out;
}

}  // namespace

std::size_t AppendWineEscaped(std::string& out, std::u16string_view text, const char* specials) {
  static const char escapes[33] = ".......abtnvfr.............e....";
  const std::size_t before = out.size();
  char buffer[16];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool haveNext = i + 1 < text.size();
    if (c > 127) {
      const bool nextIsHex = haveNext && text[i + 1] < 128 && IsHex(static_cast<char>(text[i + 1]));
      std::snprintf(buffer, sizeof buffer, nextIsHex ? "\\x%04x" : "\\x%x", unsigned(c));
      out += buffer;
    } else if (c < 32) {
      if (escapes[c] != '.') {
        out += '\\';
        out += escapes[c];
      } else {
        const bool nextIsOctal = haveNext && text[i + 1] >= '0' && text[i + 1] <= '7';
        std::snprintf(buffer, sizeof buffer, nextIsOctal ? "\\%03o" : "\\%o", unsigned(c));
        out += buffer;
      }
    } else {
      if (c == '\\' || c == specials[0] || c == specials[1]) out += '\\';
      out += static_cast<char>(c);
    }
  }
  return out.size() - before;
}

namespace {

// Where the last key block of `bytes` begins at which another reader may take over: one whose
// line before does not continue a value. The line before a block that is not the file's first
// may have begun in the bytes before `bytes`, which always start at a line. npos when there is
// none.
std::size_t LastBlockCut(std::string_view bytes, bool fileStart) {
  for (std::size_t at = bytes.rfind("\n["); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : bytes.rfind("\n[", at - 1)) {
    const std::size_t lineStart = at == 0 ? std::string_view::npos : bytes.rfind('\n', at - 1);
    if (lineStart == std::string_view::npos && fileStart) continue;  // the file's first line
    const std::size_t from = lineStart == std::string_view::npos ? 0 : lineStart + 1;
    const std::string_view before = bytes.substr(from, at - from);
    if (!before.ends_with('\\') && !before.ends_with("\\\r")) return at + 1;
  }
  return std::string_view::npos;
}

// A file read as it arrives: the reader fills buffers of about `pieceSize` bytes, cuts each at
// its last key block (the rest goes on to the next buffer) and hands the piece on; the caller
// and `helpers` threads parse the pieces, each into a tree of its own, taking them in turn as
// they are free. A few buffers are used again and again, so the file is never held whole and
// reading overlaps parsing. The trees are then joined in the file's order.
class PieceReader {
 public:
  PieceReader(const ByteSource& source, std::size_t pieceSize, bool cutting, unsigned helpers,
              const BlockFilter* keep)
      : source_(source),
        pieceSize_(std::max<std::size_t>(pieceSize, 1)),
        cutting_(cutting),
        keep_(keep),
        helpers_(helpers),
        buffers_(helpers + 3) {
    for (std::size_t i = 0; i < buffers_.size(); ++i) idle_.push_back(i);
  }

  ~PieceReader() { Finish(); }

  // Empty when the source failed, a piece met a problem or the trees do not join; a file read
  // as one piece answers what one reader answers, problems and all.
  std::optional<WineParseResult> Run(WineHive& hive) {
    try {
      ReadAll();
    } catch (...) {
      Finish();
      throw;
    }
    {
      std::unique_lock<std::mutex> lock(mutex_);
      while (!waiting_.empty() && !stop_) ParseOne(lock);
    }
    Finish();
    if (failed_) std::rethrow_exception(failed_);
    if (sourceFailed_) return std::nullopt;
    if (pieces_.size() == 1 && ended_) {
      hive = std::move(pieces_[0].hive);
      return std::move(pieces_[0].result);
    }
    if (stop_ || pieces_.empty()) return std::nullopt;
    hive = std::move(pieces_[0].hive);
    for (std::size_t i = 1; i < pieces_.size(); ++i)
      if (!hive.root->Merge(std::move(*pieces_[i].hive.root))) {
        hive = WineHive{};
        return std::nullopt;
      }
    return std::move(pieces_[0].result);
  }

 private:
  struct Piece {
    std::size_t index;
    std::size_t buffer;
    std::size_t size;
    WineHive hive;
    WineParseResult result;
  };

  // Buffers are not cleared: only bytes read into them are ever looked at.
  struct Buffer {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
  };
  // Room for at least `size` bytes, the first `keep` of them kept.
  static void Reserve(Buffer& buffer, std::size_t size, std::size_t keep) {
    if (buffer.size >= size) return;
    auto bigger = std::make_unique_for_overwrite<char[]>(size);
    if (keep) std::memcpy(bigger.get(), buffer.bytes.get(), keep);
    buffer.bytes = std::move(bigger);
    buffer.size = size;
  }

  void ReadAll() {
    std::optional<std::size_t> current = Acquire();
    std::size_t used = 0, limit = pieceSize_;
    bool first = true;
    while (current) {
      Buffer& buffer = buffers_[*current];
      Reserve(buffer, limit, used);
      if (!ended_ && used < limit) {
        const std::ptrdiff_t n = source_(buffer.bytes.get() + used, limit - used);
        if (n < 0) {
          sourceFailed_ = true;
          Stop();
          return;
        }
        if (n == 0)
          ended_ = true;
        else
          used += static_cast<std::size_t>(n);
        continue;
      }
      if (ended_) {
        Hand(*current, used);
        return;
      }
      const std::size_t cut = cutting_
                                  ? LastBlockCut(std::string_view(buffer.bytes.get(), used), first)
                                  : std::string_view::npos;
      if (cut == std::string_view::npos) {
        // A block longer than the piece (or a file read as one piece): more room.
        limit *= 2;
        continue;
      }
      const std::optional<std::size_t> next = Acquire();
      if (!next) return;
      const std::size_t rest = used - cut;
      Reserve(buffers_[*next], rest + pieceSize_, 0);
      if (rest) std::memcpy(buffers_[*next].bytes.get(), buffer.bytes.get() + cut, rest);
      Hand(*current, cut);
      if (pieces_.size() == 2) StartHelpers();  // only a file of several pieces needs them
      current = next;
      used = rest;
      limit = rest + pieceSize_;
      first = false;
    }
  }

  void StartHelpers() {
    for (unsigned t = 0; t < helpers_; ++t) {
      try {
        threads_.emplace_back([this] { Help(); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: fewer readers
      }
    }
  }

  // A buffer no piece uses; while there is none, the reader parses a piece itself.
  std::optional<std::size_t> Acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (stop_) return std::nullopt;
      if (!idle_.empty()) {
        const std::size_t buffer = idle_.back();
        idle_.pop_back();
        return buffer;
      }
      if (!waiting_.empty())
        ParseOne(lock);
      else
        changed_.wait(lock);
    }
  }

  void Hand(std::size_t buffer, std::size_t size) {
    const std::lock_guard<std::mutex> lock(mutex_);
    pieces_.push_back(Piece{pieces_.size(), buffer, size, {}, {}});
    waiting_.push_back(&pieces_.back());
    changed_.notify_one();
  }

  void Help() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !waiting_.empty() || finished_ || stop_; });
      if (stop_ || waiting_.empty()) return;
      ParseOne(lock);
    }
  }

  // Parses the next waiting piece, the lock let go meanwhile; its buffer is then free again.
  void ParseOne(std::unique_lock<std::mutex>& lock) {
    Piece& piece = *waiting_.front();
    waiting_.pop_front();
    const std::string_view bytes(buffers_[piece.buffer].bytes.get(), piece.size);
    lock.unlock();
    bool problem = false;
    std::exception_ptr failed;
    try {
      Parser(bytes, piece.hive, piece.result, keep_, piece.index > 0).Run();
      problem =
          !piece.result.problems.empty() || (piece.index == 0 && !piece.result.isRegistryFile);
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    if (failed && !failed_) failed_ = failed;
    if (problem || failed) stop_ = true;
    idle_.push_back(piece.buffer);
    changed_.notify_all();
  }

  void Stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    changed_.notify_all();
  }

  void Finish() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
      changed_.notify_all();
    }
    for (std::thread& thread : threads_)
      if (thread.joinable()) thread.join();
  }

  const ByteSource& source_;
  const std::size_t pieceSize_;
  const bool cutting_;
  const BlockFilter* keep_;
  const unsigned helpers_;
  std::vector<Buffer> buffers_;
  std::vector<std::size_t> idle_;  // buffers no piece uses
  std::deque<Piece> pieces_;       // in the file's order; an element stays where it is
  std::deque<Piece*> waiting_;     // read, not yet parsed
  std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false;  // nothing more will be handed on
  bool stop_ = false;      // a problem or a failure: nothing more is worth reading
  bool ended_ = false;     // the source is at its end
  bool sourceFailed_ = false;
  std::exception_ptr failed_;
  std::vector<std::thread> threads_;
};

// Sixteen pieces, of at least half kReadInPiecesFrom and at most a megabyte.
std::size_t PieceSizeFor(std::uint64_t size) {
  return static_cast<std::size_t>(
      std::clamp<std::uint64_t>(size / 16, kReadInPiecesFrom / 2, std::size_t{1} << 20));
}

unsigned Helpers() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u) - 1;
}

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
        PieceReader(fromMemory, size, true, Helpers(), keep).Run(hive);
    if (result) return std::move(*result);
  }
  WineParseResult result;
  hive = WineHive{};
  Parser(bytes, hive, result, keep).Run();
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
  if (!pieceSize)
    pieceSize = cutting ? PieceSizeFor(sizeHint) : static_cast<std::size_t>(sizeHint) + 4096;
  return PieceReader(source, pieceSize, cutting, cutting ? Helpers() : 0, keep).Run(hive);
}

std::string WriteWineRegistry(const WineHive& hive) {
  std::string out = WriteHeader(hive);
  out.reserve(1 << 20);
  WriteKeys(out, *hive.root, *hive.root, nullptr);
  return out;
}

void WriteWineRegistryChunks(const WineHive& hive,
                             const std::function<void(std::string_view)>& sink) {
  std::string out = WriteHeader(hive);
  out.reserve((1 << 20) + 4096);
  WriteKeys(out, *hive.root, *hive.root, &sink);
  if (!out.empty()) sink(out);
}

std::string WineRegistryBlocks(std::string_view bytes, const BlockFilter& keep) {
  std::string out;
  std::size_t at = FindBlockStart(bytes, 0);
  out.append(bytes.substr(0, at == std::string_view::npos ? bytes.size() : at + 1));
  std::size_t start = at == std::string_view::npos ? at : at + 1;
  while (start != std::string_view::npos) {
    std::size_t next = 0;
    const bool wanted = BlockWanted(bytes, start, keep, next);
    if (wanted) next = NextBlock(bytes, start);  // a passed-over block has told it already
    const std::string_view block =
        bytes.substr(start, (next == std::string_view::npos ? bytes.size() : next) - start);
    if (wanted)
      out.append(block);
    else
      out.append(static_cast<std::size_t>(std::count(block.begin(), block.end(), '\n')), '\n');
    start = next;
  }
  return out;
}

}  // namespace pgl
