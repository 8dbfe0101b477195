#include "registry/TRegistry.h"

#include <cstring>

#include "util/Utf.h"

namespace pgl {

namespace {

std::string_view StripLeadingBackslash(std::string_view path) {
  while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
  return path;
}

[[noreturn]] void Raise(const char* format, std::string_view name) {
  std::string message = format;
  message.replace(message.find("%s"), 2, name);
  throw ERegistryException(message);
}

// The data as a reader of 8-bit text gets it: texts converted, with their terminating zero.
std::string DataAs8Bit(const RegValue& v) {
  if (v.type != kRegSz && v.type != kRegExpandSz && v.type != kRegMultiSz) return v.Bytes();
  if (v.DataSize() == 0) return {};
  const std::u16string units = Utf16LeUnits(v.Bytes());
  std::string text = Utf16ToUtf8(units);
  if (units.empty() || units.back() != 0) text += '\0';
  return text;
}

constexpr const char* kInvalidType = "Invalid data type for '%s'";
constexpr const char* kGetFailed = "Failed to get data for '%s'";
constexpr const char* kSetFailed = "Failed to set data for '%s'";

}  // namespace

void TRegistry::SetRootKey(RootKey root) {
  CloseKey();
  root_ = root;
}

RegKey* TRegistry::Resolve(std::string_view path) {
  RegKey* hive = store_.Hive(root_);
  return hive ? FindRegKey(hive, StripLeadingBackslash(path)) : nullptr;
}

RegKey* TRegistry::Current() {
  if (!open_) return nullptr;
  if (stale_ || currentGeneration_ != store_.Generation()) {
    stale_ = false;
    currentKey_ = Resolve(currentPath_);
    currentGeneration_ = store_.Generation();
  }
  return currentKey_;
}

bool TRegistry::OpenKey(std::string_view path, bool canCreate) {
  CloseKey();
  if (!store_.Hive(root_)) return false;
  if (readOnly_) {
    // After a read-only open, later opens ask for read access only.
    if (!Resolve(path)) {
      if (!canCreate || !store_.BeginWrite(root_)) return false;
    } else {
      return OpenKeyReadOnly(path);
    }
  } else if (!store_.BeginWrite(root_)) {
    return false;
  }
  RegKey* key = Resolve(path);
  if (!key) {
    if (!canCreate) return false;
    key = store_.Hive(root_);
    const std::uint64_t now = FileTimeNow();
    for (const auto& part : SplitRegPath(StripLeadingBackslash(path))) {
      RegKey* next = key->FindSubKey(part);
      if (!next) {
        next = &key->EnsureSubKey(part);
        next->modified = now;
        key->modified = now;
        store_.KeyAdded(root_, *next);
      }
      key = next;
    }
    if (!store_.Commit(root_)) return false;
    key = Resolve(path);
    if (!key) return false;
  }
  open_ = true;
  currentWritable_ = !readOnly_;
  currentPath_ = std::string(path);
  currentKey_ = key;
  currentGeneration_ = store_.Generation();
  return true;
}

bool TRegistry::OpenKeyReadOnly(std::string_view path) {
  CloseKey();
  RegKey* key = Resolve(path);
  if (!key) return false;
  readOnly_ = true;
  open_ = true;
  currentWritable_ = false;
  currentPath_ = std::string(path);
  currentKey_ = key;
  currentGeneration_ = store_.Generation();
  return true;
}

void TRegistry::CloseKey() {
  open_ = false;
  currentKey_ = nullptr;
  currentPath_.clear();
}

bool TRegistry::KeyExists(std::string_view path) {
  return Resolve(path) != nullptr;
}

const RegValue* TRegistry::RawValue(std::string_view name) {
  RegKey* key = Current();
  if (!key) return nullptr;
  AssignUtf16(nameBuffer_, name);
  return key->FindValue(nameBuffer_);
}

bool TRegistry::ValueExists(std::string_view name) {
  return RawValue(name) != nullptr;
}

TRegDataType TRegistry::GetDataType(std::string_view name) {
  const RegValue* v = RawValue(name);
  if (!v) return TRegDataType::rdUnknown;
  switch (v->type) {
    case kRegSz:
      return TRegDataType::rdString;
    case kRegExpandSz:
      return TRegDataType::rdExpandString;
    case kRegDword:
      return TRegDataType::rdInteger;
    case kRegBinary:
      return TRegDataType::rdBinary;
    default:
      return TRegDataType::rdUnknown;
  }
}

int TRegistry::GetDataSize(std::string_view name) {
  const RegValue* v = RawValue(name);
  if (!v) return -1;
  // Only texts change size on the way to 8 bits.
  const bool text = v->type == kRegSz || v->type == kRegExpandSz || v->type == kRegMultiSz;
  return static_cast<int>(text ? DataAs8Bit(*v).size() : v->DataSize());
}

std::optional<std::string> ReadableText(const RegValue& value) {
  if (value.DataSize() == 0) return std::string();
  if (value.type != kRegSz && value.type != kRegExpandSz) return std::nullopt;
  return value.TextUtf8();
}

std::optional<std::int32_t> DwordOf(const RegValue& value) {
  if (value.type != kRegDword || value.DataSize() != 4) return std::nullopt;
  std::string scratch;
  const std::string_view data = value.Data(scratch);
  std::uint32_t bits = 0;
  for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(data[i]);
  return static_cast<std::int32_t>(bits);
}

std::string TRegistry::ReadString(std::string_view name) {
  const RegValue* v = RawValue(name);
  if (!v) return {};
  std::optional<std::string> text = ReadableText(*v);
  if (!text) Raise(kInvalidType, name);
  return std::move(*text);
}

std::int32_t TRegistry::ReadInteger(std::string_view name) {
  const RegValue* v = RawValue(name);
  if (!v) Raise(kGetFailed, name);
  if (v->type != kRegDword) Raise(kInvalidType, name);
  const std::optional<std::int32_t> number = DwordOf(*v);
  if (!number) Raise(kGetFailed, name);
  return *number;
}

int TRegistry::ReadBinaryData(std::string_view name, void* buffer, int size) {
  const RegValue* v = RawValue(name);
  if (!v) return 0;
  if (v->type == kRegSz || v->type == kRegExpandSz || v->type == kRegDword)
    Raise(kInvalidType, name);
  const std::string data = DataAs8Bit(*v);
  if (static_cast<int>(data.size()) > size) Raise(kInvalidType, name);
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return static_cast<int>(data.size());
}

void TRegistry::WriteValue(std::string_view name, std::uint32_t type, std::string data) {
  if (!open_ || !currentWritable_ || !store_.BeginWrite(root_)) Raise(kSetFailed, name);
  RegKey* key = Current();
  if (!key) Raise(kSetFailed, name);
  const RegValue& value = key->SetValue(Utf8ToUtf16(name), type, std::move(data));
  key->modified = FileTimeNow();
  store_.ValueSet(root_, *key, value);
  if (!store_.Commit(root_)) Raise(kSetFailed, name);
}

void TRegistry::WriteString(std::string_view name, std::string_view text) {
  WriteValue(name, kRegSz, TextToRegData(Utf8ToUtf16(text)));
}

void TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
  WriteValue(name, kRegDword, DwordToRegData(static_cast<std::uint32_t>(value)));
}

void TRegistry::GetKeyNames(std::vector<std::string>& list) {
  list.clear();
  if (RegKey* key = Current())
    for (const auto& sub : key->SubKeys()) list.push_back(Utf16ToUtf8(sub->Name()));
}

void TRegistry::GetValueNames(std::vector<std::string>& list) {
  list.clear();
  if (RegKey* key = Current())
    for (const auto& v : key->Values()) list.push_back(Utf16ToUtf8(v.Name()));
}

bool TRegistry::DeleteKey(std::string_view path) {
  if (!Resolve(path) || !store_.BeginWrite(root_)) return false;
  RegKey* key = Resolve(path);
  if (!key || !key->Parent()) return false;
  RegKey* parent = key->Parent();
  const std::u16string name = key->Name();
  // Removing the key takes its whole subtree with it; the open key may have been in it.
  stale_ = true;
  if (!parent->RemoveSubKey(name)) return false;
  parent->modified = FileTimeNow();
  store_.KeyRemoved(root_, *parent, name);
  return store_.Commit(root_);
}

}  // namespace pgl
