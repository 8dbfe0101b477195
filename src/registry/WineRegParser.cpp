#include "registry/WineRegParser.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "registry/WineRegBlocks.h"
#include "registry/WineRegSyntax.h"

namespace pgl::winereg {

namespace {

// Keys deeper than kMaxRegKeyDepth are left out.
constexpr const char* kTooDeep = "key nested deeper than 512 levels (left out)";

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
         bool rest, RegArena* arena)
      : bytes_(bytes),
        lines_(bytes),
        hive_(hive),
        arena_(arena ? arena : &hive.root->Arena()),
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
    // Wine needs no such line: a file of the header line alone is an empty registry.
    if (!rest_) hive_.hasRelativeTo = seenRelativeTo_;
    if (!bytes_.empty() && bytes_.back() != '\n')
      Problem("the file ends inside a line: it is truncated");
  }

 private:
  // The key's values are complete: its time is set and its storage trimmed.
  void LeaveKey() {
    if (!key_) return;
    // The first key tells whether the file writes "#time=" lines.
    if (!formKnown_) {
      hive_.timeLines = sawTime_;
      formKnown_ = true;
    }
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
    std::uint64_t seconds = 0, fraction = 0;
    std::size_t p = 0;
    while (p < after.size() && after[p] == ' ') ++p;
    bool haveSeconds = false, haveFraction = false;
    while (p < after.size() && after[p] >= '0' && after[p] <= '9') {
      if (seconds <= 0xFFFFFFFFull) seconds = seconds * 10 + static_cast<unsigned>(after[p] - '0');
      ++p;
      haveSeconds = true;
    }
    // wine-staging writes the rest of the second, in 100 ns units, after the seconds.
    if (haveSeconds && p + 1 < after.size() && after[p] == ' ' && after[p + 1] >= '0' &&
        after[p + 1] <= '9') {
      ++p;
      while (p < after.size() && after[p] >= '0' && after[p] <= '9') {
        if (fraction < static_cast<std::uint64_t>(kTicksPerSecond))
          fraction = fraction * 10 + static_cast<unsigned>(after[p] - '0');
        ++p;
      }
      haveFraction = true;
      if (fraction >= static_cast<std::uint64_t>(kTicksPerSecond)) {
        Problem("key time out of range");
        fraction = 0;
      }
    }
    if (p != after.size()) Problem("unexpected text after the key name");
    if (seconds > 0xFFFFFFFFull) {
      Problem("key time out of range");
      seconds = 0;
    }
    if (!subSecondsKnown_) {
      hive_.subSeconds = haveFraction;
      subSecondsKnown_ = true;
    }
    pendingTime_ =
        haveSeconds ? static_cast<std::uint64_t>(
                          static_cast<std::int64_t>(seconds) * kTicksPerSecond + kTicks1601To1970) +
                          fraction
                    : FileTimeNow();
    sawTime_ = false;
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
      sawTime_ = true;
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
        std::size_t s = 0;
        while (s < next.size() && IsSpace(next[s])) ++s;
        data = next.substr(s);
      }
    }
    // In a file in Wine's order each value sorts after the one before; look further only
    // when it does not.
    const auto& values = key_->Values();
    if (values.empty() || CompareRegNames(values.back().Name(), name) < 0) {
      key_->AppendValue(name, type, bytes, arena_);
      return;
    }
    if (key_->FindValue(name)) Problem("value listed twice");
    key_->SetValue(name, type, bytes, arena_);
  }

  std::string_view bytes_;
  LineReader lines_;
  WineHive& hive_;
  RegArena* arena_;  // where the values are stored
  WineParseResult& result_;
  const BlockFilter* keep_;
  bool rest_;
  RegKey* key_ = nullptr;
  std::uint64_t pendingTime_ = 0;
  bool sawTime_ = false;          // the key being read has a "#time=" line
  bool formKnown_ = false;        // the first key's form has been taken for the file's
  bool subSecondsKnown_ = false;  // likewise for its key line
  bool seenRelativeTo_ = false;
  std::u16string scratch_;
  std::u16string name_;  // the value's name, its storage reused from value to value
  std::string data_;     // the value's data, likewise
  std::vector<std::pair<std::string, RegKey*>> chain_;  // the previous key's path, as written
};

}  // namespace

void ParseBlocks(std::string_view bytes, WineHive& hive, WineParseResult& result,
                 const BlockFilter* keep, bool rest, RegArena* arena) {
  Parser(bytes, hive, result, keep, rest, arena).Run();
}

}  // namespace pgl::winereg
