#include "registry/RegExport.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "util/CodePage.h"
#include "util/FileIO.h"
#include "util/Utf.h"

namespace pgl {

namespace {

// Thrown while writing REGEDIT4 when some text or value has no exact form there.
struct NeedsUnicode {};

bool IsLoneSurrogateAt(std::u16string_view s, std::size_t i) {
  const char16_t c = s[i];
  if (c >= 0xD800 && c <= 0xDBFF)
    return i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF;
  if (c >= 0xDC00 && c <= 0xDFFF) return i == 0 || s[i - 1] < 0xD800 || s[i - 1] > 0xDBFF;
  return false;
}

bool HasLoneSurrogate(std::u16string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (IsLoneSurrogateAt(s, i)) return true;
  return false;
}

// A name that a registry script can carry: no line break (it would end the line) and no
// unpaired surrogate (no file encoding holds one). Wine's registry editor also reads "\n" in a
// name as a line feed, so a script for Wine carries those.
bool NameCarried(std::u16string_view name, bool forWine) {
  return name.find_first_of(forWine ? u"\r" : u"\r\n") == std::u16string_view::npos &&
         !HasLoneSurrogate(name);
}

// The text of string data that is exactly one terminated text: an even size, a zero unit at
// the end and nowhere else, and proper UTF-16.
std::optional<std::u16string> TerminatedText(std::string_view data) {
  if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
  std::u16string units = Utf16LeUnits(data);
  if (units.back() != 0) return std::nullopt;
  units.pop_back();
  if (units.find(u'\0') != std::u16string::npos || HasLoneSurrogate(units)) return std::nullopt;
  return units;
}

// Backslash and double quote get their escapes: for value names in every form; in a script
// for Wine a line feed is "\n".
std::string EscapeName(std::string_view text, bool forWine = false) {
  std::string out;
  out.reserve(text.size() + 4);
  for (char c : text) {
    if (forWine && c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// Collects the file's lines; text pieces are encoded as they come so that a piece the
// code page cannot hold is noticed at once.
class ExportWriter {
 public:
  ExportWriter(int codePage, bool unicode, bool forWine = false)
      : codePage_(codePage), unicode_(unicode), forWine_(forWine) {}
  bool ForWine() const { return forWine_; }

  bool Unicode() const { return unicode_; }
  void Raw(std::string_view ascii) { out_ += ascii; }
  void Text(std::string_view utf8) {
    if (unicode_) {
      out_ += utf8;
      return;
    }
    if (!EncodeToCodePage(utf8, codePage_, scratch_)) throw NeedsUnicode{};
    out_ += scratch_;
  }
  void EndLine() { out_ += "\r\n"; }

  // The bytes of an expandable text as a byte list in the code page: a continuation after
  // every 16th byte, then the terminating zero.
  void ExpandList(std::string_view utf8) {
    std::string bytes;
    if (!EncodeToCodePage(utf8, codePage_, bytes)) throw NeedsUnicode{};
    if (bytes.empty()) return;
    ExpandBytes(bytes);
    out_ += "00";
  }
  // Raw data bytes with the expandable-string continuations.
  void ExpandBytes(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      Byte(static_cast<unsigned char>(bytes[i]));
      if ((i + 1) % 16 == 0 && (!unicode_ || i + 1 != bytes.size())) Continue();
    }
    if (unicode_ && !bytes.empty()) out_.pop_back();  // no comma after the last byte
  }

  // Binary data: a continuation after the bytes at positions 16, 32, ... except the last.
  void BinaryList(std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
      Byte(static_cast<unsigned char>(data[i]));
      if (i > 0 && i % 16 == 0 && i != data.size() - 1) Continue();
    }
  }

  std::string Finish() {
    if (!unicode_) return std::move(out_);
    return "\xFF\xFE" + Utf16LeBytes(Utf8ToUtf16(out_));
  }

 private:
  void Byte(unsigned char b) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x,", b);
    out_ += text;
  }
  void Continue() { out_ += "\\\r\n  "; }

  int codePage_;
  bool unicode_;
  bool forWine_;
  std::string out_;
  std::string scratch_;
};

// One value line. In REGEDIT4 a value is written in its plain form or not at all (the whole
// file then becomes a Unicode script); the Unicode script gives every value a form that the
// registry editor imports exactly.
void WriteValue(const RegValue& value, ExportWriter& w) {
  const std::string data = value.Bytes();
  if (value.Name().empty()) {
    w.Raw("@=");
  } else {
    w.Raw("\"");
    w.Text(EscapeName(Utf16ToUtf8(value.Name()), w.ForWine()));
    w.Raw("\"=");
  }
  char text[24];
  if (!w.Unicode()) {
    switch (value.type) {
      case kRegSz: {
        const auto units = TerminatedText(data);
        if (!units || units->find_first_of(u"\t\r\n") != std::u16string::npos) throw NeedsUnicode{};
        w.Raw("\"");
        w.Text(EscapeRegString(Utf16ToUtf8(*units)));
        w.Raw("\"");
        break;
      }
      case kRegExpandSz: {
        const auto units = TerminatedText(data);
        if (!units) throw NeedsUnicode{};
        w.Raw("hex(2):");
        w.ExpandList(Utf16ToUtf8(*units));
        break;
      }
      case kRegDword: {
        if (data.size() != 4) throw NeedsUnicode{};
        const auto* b = reinterpret_cast<const unsigned char*>(data.data());
        std::snprintf(text, sizeof text, "dword:%08x",
                      static_cast<unsigned>(b[0] | (b[1] << 8) | (b[2] << 16)) |
                          (static_cast<unsigned>(b[3]) << 24));
        w.Raw(text);
        break;
      }
      case kRegBinary:
        w.Raw("hex:");
        w.BinaryList(data);
        break;
      default:
        throw NeedsUnicode{};
    }
    w.EndLine();
    return;
  }
  const auto units = value.type == kRegSz ? TerminatedText(data) : std::nullopt;
  bool plain = units.has_value();
  if (units)
    for (char16_t c : *units) plain = plain && c >= 0x20;
  if (plain) {
    w.Raw("\"");
    w.Text(EscapeName(Utf16ToUtf8(*units)));
    w.Raw("\"");
  } else if (value.type == kRegDword && data.size() == 4) {
    const auto* b = reinterpret_cast<const unsigned char*>(data.data());
    std::snprintf(text, sizeof text, "dword:%08x",
                  static_cast<unsigned>(b[0] | (b[1] << 8) | (b[2] << 16)) |
                      (static_cast<unsigned>(b[3]) << 24));
    w.Raw(text);
  } else if (value.type == kRegBinary) {
    w.Raw("hex:");
    w.BinaryList(data);
  } else {
    std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
    w.Raw(text);
    w.ExpandBytes(data);
  }
  w.EndLine();
}

// Whether a text value ends as the registry editor makes every text it imports end: with a
// zero unit (two for a multi-string).
bool TextTerminated(const RegValue& value) {
  if (value.type != kRegSz && value.type != kRegExpandSz && value.type != kRegMultiSz) return true;
  const std::string d = value.Bytes();
  if (d.size() % 2 != 0 || d.size() < 2 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0)
    return false;
  return value.type != kRegMultiSz ||
         (d.size() >= 4 && d[d.size() - 3] == 0 && d[d.size() - 4] == 0);
}

void WriteKeyValues(const RegKey* key, const std::string& header, ExportWriter& w,
                    RegExportResult& result) {
  if (!key) return;
  for (const RegValue& value : key->Values()) {
    if (!NameCarried(value.Name(), w.ForWine())) {
      if (!w.Unicode()) throw NeedsUnicode{};
      result.leftOut.push_back(header + ": a value whose name no registry script can hold");
      continue;
    }
    if (!TextTerminated(value)) {
      if (!w.Unicode()) throw NeedsUnicode{};
      result.notExact.push_back(
          "\"" + Utf16ToUtf8(value.Name()) + "\" of " + header +
          ": a text without its terminating zero; the registry editor adds one when it restores "
          "it");
    }
    WriteValue(value, w);
  }
}

std::string Build(RegistryStore& store, const std::vector<RegExportKey>& keys, int codePage,
                  bool unicode, bool forWine, RegExportResult& result) {
  ExportWriter w(codePage, unicode, forWine);
  result.leftOut.clear();
  result.notExact.clear();
  w.Raw(unicode ? "Windows Registry Editor Version 5.00" : "REGEDIT4");
  w.EndLine();
  for (const RegExportKey& exported : keys) {
    const std::string rootName = RootKeyName(exported.root);
    const auto header = [&](const std::string& path) {
      w.EndLine();
      w.Raw("[");
      w.Text(rootName + "\\" + path);
      w.Raw("]");
      w.EndLine();
    };
    RegKey* hive = store.Hive(exported.root);
    const RegKey* top = hive ? FindRegKey(hive, exported.path) : nullptr;
    header(exported.path);
    WriteKeyValues(top, rootName + "\\" + exported.path, w, result);
    if (!top) continue;
    // Each key's children together as a block, the blocks visited depth first. The stack
    // holds the keys whose children are still to be listed, with their paths.
    std::vector<std::pair<const RegKey*, std::string>> stack{{top, exported.path}};
    while (!stack.empty()) {
      auto [key, path] = std::move(stack.back());
      stack.pop_back();
      std::vector<std::pair<const RegKey*, std::string>> block;
      for (const auto& child : key->SubKeys()) {
        const std::string childPath = path + "\\" + Utf16ToUtf8(child->Name());
        if (!NameCarried(child->Name(), false)) {
          if (!w.Unicode()) throw NeedsUnicode{};
          result.leftOut.push_back(rootName + "\\" + path +
                                   ": a subkey (with everything below it) whose name no registry "
                                   "script can hold");
          continue;
        }
        header(childPath);
        WriteKeyValues(child.get(), rootName + "\\" + childPath, w, result);
        block.emplace_back(child.get(), childPath);
      }
      for (auto it = block.rbegin(); it != block.rend(); ++it) stack.push_back(std::move(*it));
    }
  }
  return w.Finish();
}

}  // namespace

std::string RootKeyName(RootKey root) {
  switch (root) {
    case kHkeyClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kHkeyCurrentUser:
      return "HKEY_CURRENT_USER";
    case kHkeyLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kHkeyUsers:
      return "HKEY_USERS";
    case kHkeyPerformanceData:
      return "HKEY_PERFORMANCE_DATA";
    case kHkeyCurrentConfig:
      return "HKEY_CURRENT_CONFIG";
    case kHkeyDynData:
      return "HKEY_DYN_DATA";
    default:
      return {};
  }
}

std::string EscapeRegString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\t')
      out += "\\t";
    else
      out += c;
  }
  return out;
}

RegExportResult BuildRegistryExport(RegistryStore& store, RootKey root, std::string_view keyPath,
                                    int codePage) {
  return BuildRegistryExport(store, {{root, std::string(keyPath)}}, codePage);
}

RegExportResult BuildRegistryExport(RegistryStore& store, const std::vector<RegExportKey>& keys,
                                    int codePage, bool forWine) {
  if (keys.empty()) return {};
  for (const auto& key : keys)
    if (RootKeyName(key.root).empty()) return {};
  RegExportResult result;
  try {
    result.bytes = Build(store, keys, codePage, false, forWine, result);
  } catch (const NeedsUnicode&) {
    result.bytes = Build(store, keys, codePage, true, forWine, result);
    result.form = RegScriptForm::Unicode;
  }
  return result;
}

RegScriptForm ExportRegistryKey(RegistryStore& store, RootKey root, std::string_view keyPath,
                                const std::string& fileName, int codePage) {
  return ExportRegistryKeys(store, {{root, std::string(keyPath)}}, fileName, codePage).form;
}

RegExportResult ExportRegistryKeys(RegistryStore& store, const std::vector<RegExportKey>& keys,
                                   const std::string& fileName, int codePage) {
  RegExportResult result = BuildRegistryExport(store, keys, codePage);
  std::string error;
  if (!WriteFileAtomic(fileName, result.bytes, error)) throw ERegistryExportError(error);
  return result;
}

}  // namespace pgl
