#include "registry/RegScript.h"

#include <array>
#include <optional>

#include "util/CodePage.h"
#include "util/Utf.h"

namespace pgl {

namespace {

constexpr std::u16string_view kHeader4 = u"REGEDIT4";
constexpr std::u16string_view kHeader5 = u"Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4Bytes = "REGEDIT4";
constexpr std::string_view kHeader5Bytes = "Windows Registry Editor Version 5.00";

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::u16string_view TrimRight(std::u16string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == u'\r')) s.remove_suffix(1);
  return s;
}

// Nothing but blanks, or a comment, is left.
bool RestIsEmpty(std::u16string_view s) {
  s = TrimLeft(s);
  return s.empty() || s.front() == u';';
}

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = s[i], b = prefix[i];
    if (a >= u'a' && a <= u'z') a = static_cast<char16_t>(a - 32);
    if (b >= u'a' && b <= u'z') b = static_cast<char16_t>(b - 32);
    if (a != b) return false;
  }
  return true;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Up to `maxDigits` hex digits from the start of `s`, consumed; nothing when there is none.
std::optional<std::uint32_t> TakeHex(std::u16string_view& s, std::size_t maxDigits) {
  std::uint32_t value = 0;
  std::size_t n = 0;
  while (n < s.size() && n < maxDigits && HexDigit(s[n]) >= 0)
    value = value * 16 + static_cast<std::uint32_t>(HexDigit(s[n++]));
  if (n == 0 || (n < s.size() && HexDigit(s[n]) >= 0)) return std::nullopt;
  s.remove_prefix(n);
  return value;
}

struct RootName {
  std::u16string_view name;
  RootKey root;
};
constexpr std::array<RootName, 11> kRoots = {{
    {u"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {u"HKLM", kHkeyLocalMachine},
    {u"HKEY_CURRENT_USER", kHkeyCurrentUser},
    {u"HKCU", kHkeyCurrentUser},
    {u"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
    {u"HKCR", kHkeyClassesRoot},
    {u"HKEY_USERS", kHkeyUsers},
    {u"HKU", kHkeyUsers},
    {u"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
    {u"HKCC", kHkeyCurrentConfig},
    {u"HKEY_DYN_DATA", kHkeyDynData},
}};

RootKey RootNamed(std::u16string_view name) {
  for (const RootName& r : kRoots)
    if (name.size() == r.name.size() && StartsWithNoCase(name, r.name)) return r.root;
  return 0;
}

// The file's text as UTF-16 and whether it is a Unicode script; false with the reason.
bool DecodeScript(std::string_view bytes, int codePage, std::u16string& text, bool& unicode,
                  std::string& error) {
  const auto notScript = [&error] {
    error =
        "not a registry script: the first line is neither \"REGEDIT4\" nor \"Windows Registry "
        "Editor Version 5.00\".";
    return false;
  };
  bool wide = false;
  if (bytes.starts_with("\xFF\xFE")) {
    bytes.remove_prefix(2);
    wide = true;
  } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
    wide = true;  // UTF-16LE without a byte-order mark
  }
  if (wide) {
    if (bytes.size() % 2 != 0) {
      error = "the file ends in the middle of a character: it was cut short.";
      return false;
    }
    text = Utf16LeUnits(bytes);
  } else {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (bytes.starts_with(kHeader4Bytes)) {
      if (!DecodeFromCodePage(bytes, codePage, text)) {
        error =
            "the file holds bytes that are no text in code page " + std::to_string(codePage) + ".";
        return false;
      }
    } else if (bytes.starts_with(kHeader5Bytes)) {
      text = Utf8ToUtf16(bytes);
      if (Utf16ToUtf8(text) != bytes) {
        error = "the file is neither UTF-16 nor proper UTF-8 text.";
        return false;
      }
    } else {
      return notScript();
    }
  }
  const std::u16string_view first =
      TrimRight(std::u16string_view(text).substr(0, text.find(u'\n')));
  if (first == kHeader5)
    unicode = true;
  else if (first == kHeader4)
    unicode = false;
  else
    return notScript();
  return true;
}

class Parser {
 public:
  Parser(std::u16string_view text, bool unicode, int codePage,
         const std::function<void(ScriptKey&&)>& onKey)
      : text_(text), unicode_(unicode), codePage_(codePage), onKey_(onKey) {}

  bool Run(std::string& error) {
    std::u16string_view line;
    NextLine(line);  // the header, already checked
    while (NextLine(line)) {
      const std::u16string_view s = TrimLeft(line);
      if (s.empty() || s.front() == u';' || s.front() == u'#') continue;
      bool ok = false;
      if (s.front() == u'[')
        ok = Header(s);
      else if (s.front() == u'@' || s.front() == u'"')
        ok = Value(s);
      else
        why_ = "neither a key, a value nor a comment";
      if (!ok) {
        error = "line " + std::to_string(line_) + ": " + why_ + "; nothing was read.";
        return false;
      }
    }
    Flush();
    return true;
  }

 private:
  bool NextLine(std::u16string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find(u'\n', pos_);
    if (end == std::u16string_view::npos) end = text_.size();
    line = TrimRight(text_.substr(pos_, end - pos_));
    pos_ = end + 1;
    ++line_;
    return true;
  }

  bool Fail(std::string why) {
    why_ = std::move(why);
    return false;
  }

  void Flush() {
    if (current_) onKey_(std::move(*current_));
    current_.reset();
  }

  bool Header(std::u16string_view s) {
    const std::size_t close = s.rfind(u']');
    if (close == std::u16string_view::npos) return Fail("a key without its closing \"]\"");
    if (!RestIsEmpty(s.substr(close + 1))) return Fail("text after the key's \"]\"");
    std::u16string_view inside = s.substr(1, close - 1);
    Flush();
    ScriptKey key;
    key.line = line_;
    if (!inside.empty() && inside.front() == u'-') {
      key.remove = true;
      inside.remove_prefix(1);
    }
    const std::size_t slash = inside.find(u'\\');
    key.rootName = std::u16string(inside.substr(0, slash));
    key.root = RootNamed(key.rootName);
    if (key.rootName.empty()) return Fail("a key without a root");
    if (slash != std::u16string_view::npos) {
      std::u16string_view rest = inside.substr(slash + 1);
      while (!rest.empty()) {
        const std::size_t next = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, next);
        if (!name.empty()) key.path.emplace_back(name);
        if (next == std::u16string_view::npos) break;
        rest.remove_prefix(next + 1);
      }
    }
    current_ = std::move(key);
    return true;
  }

  // A quoted text from after its opening quote, with its escapes undone; `s` is left after the
  // closing quote.
  bool Quoted(std::u16string_view& s, std::u16string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
      const char16_t c = s[i];
      if (c == u'"') {
        s.remove_prefix(i + 1);
        return true;
      }
      if (c != u'\\') {
        out += c;
        continue;
      }
      if (++i == s.size()) break;
      switch (s[i]) {
        case u'n':
          out += u'\n';
          break;
        case u'r':
          out += u'\r';
          break;
        case u't':
          out += u'\t';
          break;
        default:  // "\\", "\"" and any other character stand for themselves
          out += s[i];
      }
    }
    return Fail("a text without its closing quote");
  }

  bool Value(std::u16string_view s) {
    if (!current_) return Fail("a value before any key");
    ScriptValue value;
    if (s.front() == u'@') {
      s.remove_prefix(1);
    } else {
      s.remove_prefix(1);
      if (!Quoted(s, value.name)) return false;
    }
    s = TrimLeft(s);
    if (s.empty() || s.front() != u'=') return Fail("a value name without \"=\"");
    s = TrimLeft(s.substr(1));
    if (!s.empty() && s.front() == u'-') {
      value.remove = true;
      if (!RestIsEmpty(s.substr(1))) return Fail("text after \"=-\"");
    } else if (!s.empty() && s.front() == u'"') {
      s.remove_prefix(1);
      std::u16string text;
      if (!Quoted(s, text)) return false;
      if (!RestIsEmpty(s)) return Fail("text after the closing quote");
      value.type = kRegSz;
      value.data = TextToRegData(text);
    } else if (StartsWithNoCase(s, u"dword:")) {
      s.remove_prefix(6);
      const auto number = TakeHex(s, 8);
      if (!number || !RestIsEmpty(s)) return Fail("a dword that is not 1 to 8 hex digits");
      value.type = kRegDword;
      value.data = DwordToRegData(*number);
    } else if (StartsWithNoCase(s, u"hex")) {
      s.remove_prefix(3);
      value.type = kRegBinary;
      if (!s.empty() && s.front() == u'(') {
        s.remove_prefix(1);
        const auto type = TakeHex(s, 8);
        if (!type || s.empty() || s.front() != u')') return Fail("a value type that is not hex");
        s.remove_prefix(1);
        value.type = *type;
      }
      if (s.empty() || s.front() != u':') return Fail("\"hex\" without \":\"");
      s.remove_prefix(1);
      if (!HexList(s, value.data)) return false;
      // REGEDIT4 keeps these texts as bytes of the code page.
      if (!unicode_ && (value.type == kRegExpandSz || value.type == kRegMultiSz)) {
        std::u16string units;
        if (!DecodeFromCodePage(value.data, codePage_, units))
          return Fail("text that code page " + std::to_string(codePage_) + " cannot hold");
        value.data = Utf16LeBytes(units);
      }
    } else {
      return Fail("a value of no form a registry script has");
    }
    if (value.data.size() > kMaxScriptValueBytes) return Fail("a value of more than 1 MiB");
    current_->values.push_back(std::move(value));
    return true;
  }

  // Bytes as two-digit hex numbers separated by commas; a backslash at the end of a line
  // continues the list on the next.
  bool HexList(std::u16string_view s, std::string& out) {
    for (;;) {
      s = TrimLeft(s);
      if (s.empty() || s.front() == u';') return true;
      if (s.front() == u'\\' && TrimLeft(s.substr(1)).empty()) {
        std::u16string_view next;
        if (!NextLine(next)) return Fail("the file ends inside a continued value");
        s = next;
        continue;
      }
      const auto byte = TakeHex(s, 2);
      if (!byte) return Fail("a byte that is not two hex digits");
      if (out.size() >= kMaxScriptValueBytes) return Fail("a value of more than 1 MiB");
      out += static_cast<char>(*byte);
      s = TrimLeft(s);
      if (!s.empty() && s.front() == u',') {
        s.remove_prefix(1);
      } else if (!s.empty() && s.front() != u'\\' && s.front() != u';') {
        return Fail("bytes not separated by commas");
      }
    }
  }

  std::u16string_view text_;
  bool unicode_;
  int codePage_;
  const std::function<void(ScriptKey&&)>& onKey_;
  std::size_t pos_ = 0, line_ = 0;
  std::optional<ScriptKey> current_;
  std::string why_;
};

}  // namespace

bool ParseRegScript(std::string_view bytes, int codePage,
                    const std::function<void(ScriptKey&&)>& onKey, std::string& error) {
  if (bytes.size() > kMaxScriptBytes) {
    error = "the file is larger than any backup (over 256 MiB).";
    return false;
  }
  std::u16string text;
  bool unicode = false;
  if (!DecodeScript(bytes, codePage, text, unicode, error)) return false;
  return Parser(text, unicode, codePage, onKey).Run(error);
}

std::string ScriptKeyText(const ScriptKey& key) {
  std::u16string text = key.rootName;
  for (const auto& name : key.path) text += u"\\" + name;
  return Utf16ToUtf8(text);
}

}  // namespace pgl
