#include "registry/RegExport.h"

#include <cstdio>
#include <vector>

#include "platform/FileIO.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "util/CodePage.h"
#include "util/Utf.h"

namespace pgl {

namespace {

struct NotEncodable {};

// Collects the file's lines; text pieces are encoded as they come so that a piece the
// code page cannot hold is noticed at once.
class ExportWriter {
 public:
  ExportWriter(int codePage, bool unicode) : codePage_(codePage), unicode_(unicode) {}

  void Raw(std::string_view ascii) { out_ += ascii; }
  void Text(std::string_view utf8) {
    if (unicode_) {
      out_ += utf8;
      return;
    }
    if (!EncodeToCodePage(utf8, codePage_, scratch_)) throw NotEncodable{};
    out_ += scratch_;
  }
  void EndLine() { out_ += "\r\n"; }

  // The bytes of an expandable text as a byte list: a continuation after every 16th byte,
  // then the terminating zero.
  void ExpandList(std::string_view utf8) {
    std::string bytes;
    if (unicode_) {
      bytes = Utf16LeBytes(Utf8ToUtf16(utf8));
    } else if (!EncodeToCodePage(utf8, codePage_, bytes)) {
      throw NotEncodable{};
    }
    if (bytes.empty()) return;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      Byte(static_cast<unsigned char>(bytes[i]));
      if ((i + 1) % 16 == 0) Continue();
    }
    out_ += unicode_ ? "00,00" : "00";
  }

  // Binary data: a continuation after the bytes at positions 16, 32, ... except the last.
  void BinaryList(const unsigned char* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      Byte(data[i]);
      if (i > 0 && i % 16 == 0 && i != n - 1) Continue();
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
  std::string out_;
  std::string scratch_;
};

void WriteKeyValues(RegistryStore& store, RootKey root, const std::string& path, ExportWriter& w) {
  TRegistry reg(store);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(path)) return;
  std::vector<std::string> names;
  reg.GetValueNames(names);
  std::vector<unsigned char> buffer;
  for (const auto& name : names) {
    if (name.empty()) {
      w.Raw("@=");
    } else {
      w.Raw("\"");
      w.Text(name);
      w.Raw("\"=");
    }
    try {
      switch (reg.GetDataType(name)) {
        case TRegDataType::rdString:
          w.Raw("\"");
          w.Text(EscapeRegString(reg.ReadString(name)));
          w.Raw("\"");
          break;
        case TRegDataType::rdExpandString:
          w.Raw("hex(2):");
          w.ExpandList(reg.ReadString(name));
          break;
        case TRegDataType::rdInteger: {
          char text[16];
          std::snprintf(text, sizeof text, "dword:%08x",
                        static_cast<std::uint32_t>(reg.ReadInteger(name)));
          w.Raw(text);
          break;
        }
        case TRegDataType::rdBinary: {
          const int size = reg.GetDataSize(name);
          buffer.assign(static_cast<std::size_t>(size > 0 ? size : 0), 0);
          const int n = reg.ReadBinaryData(name, buffer.data(), size > 0 ? size : 0);
          w.Raw("hex:");
          w.BinaryList(buffer.data(), static_cast<std::size_t>(n));
          break;
        }
        case TRegDataType::rdUnknown:
          break;
      }
    } catch (const ERegistryException&) {
      // A value that cannot be read keeps its name and nothing else.
    }
    w.EndLine();
  }
}

std::string Build(RegistryStore& store, const std::vector<RegExportKey>& keys, int codePage,
                  bool unicode) {
  ExportWriter w(codePage, unicode);
  w.Raw(unicode ? "Windows Registry Editor Version 5.00" : "REGEDIT4");
  w.EndLine();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const RootKey root = keys[k].root;
    const std::string rootName = RootKeyName(root);
    const auto header = [&](std::string_view path) {
      w.Raw("[");
      w.Text(rootName + "\\" + std::string(path));
      w.Raw("]");
      w.EndLine();
    };
    w.EndLine();
    header(keys[k].path);
    WriteKeyValues(store, root, keys[k].path, w);
    std::vector<std::string> subkeys;
    RegGetSubKeyTree(store, root, keys[k].path, subkeys);
    for (const auto& path : subkeys) {
      w.EndLine();
      header(path);
      WriteKeyValues(store, root, path, w);
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
                                    int codePage) {
  if (keys.empty()) return {};
  for (const auto& key : keys)
    if (RootKeyName(key.root).empty()) return {};
  try {
    return {Build(store, keys, codePage, false), false};
  } catch (const NotEncodable&) {
    return {Build(store, keys, codePage, true), true};
  }
}

bool ExportRegistryKey(RegistryStore& store, RootKey root, std::string_view keyPath,
                       const std::string& fileName, int codePage) {
  return ExportRegistryKeys(store, {{root, std::string(keyPath)}}, fileName, codePage);
}

bool ExportRegistryKeys(RegistryStore& store, const std::vector<RegExportKey>& keys,
                        const std::string& fileName, int codePage) {
  const RegExportResult result = BuildRegistryExport(store, keys, codePage);
  std::string error;
  if (!WriteFileAtomic(fileName, result.bytes, error)) throw ERegistryExportError(error);
  return result.unicode;
}

}  // namespace pgl
