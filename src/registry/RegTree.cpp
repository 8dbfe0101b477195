#include "registry/RegTree.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "util/Locale.h"
#include "util/Utf.h"

namespace pgl {

namespace {

// Wine folds to lower case: "_" (0x5F) sorts before letters.
inline char16_t FoldUnit(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  return LowerCaseUnit(c);
}

template <typename Vec, typename Name>
auto LowerBoundByName(Vec& items, std::u16string_view name, Name nameOf) {
  return std::lower_bound(items.begin(), items.end(), name, [&](const auto& item, auto key) {
    return CompareRegNames(nameOf(item), key) < 0;
  });
}

const std::u16string& KeyName(const std::unique_ptr<RegKey>& k) {
  return k->Name();
}
std::u16string_view ValueName(const RegValue& v) {
  return v.Name();
}

// Value names shared by every value that bears them, exactly as written: those of programs'
// Uninstall and usage keys. The first is the default value's.
constexpr std::u16string_view kSharedNames[] = {
    u"",
    u"Comments",
    u"Contact",
    u"DisplayIcon",
    u"DisplayName",
    u"DisplayVersion",
    u"EstimatedSize",
    u"HelpLink",
    u"HelpTelephone",
    u"InstallDate",
    u"InstallLocation",
    u"InstallSource",
    u"Language",
    u"ModifyPath",
    u"NoModify",
    u"NoRemove",
    u"NoRepair",
    u"ParentDisplayName",
    u"ParentKeyName",
    u"Publisher",
    u"QuietUninstallString",
    u"Readme",
    u"ReleaseType",
    u"SlowInfoCache",
    u"Changed",
    u"SystemComponent",
    u"URLInfoAbout",
    u"URLUpdateInfo",
    u"UninstallString",
    u"Version",
    u"VersionMajor",
    u"VersionMinor",
    u"WindowsInstaller",
};

int SharedNameIndex(std::u16string_view name) {
  if (name.empty()) return 0;
  // Every value of a file asks: only the names of its length are compared.
  static const auto byLength = [] {
    std::array<std::vector<int>, 32> out;
    for (std::size_t i = 1; i < std::size(kSharedNames); ++i)
      out.at(kSharedNames[i].size()).push_back(static_cast<int>(i));
    return out;
  }();
  if (name.size() >= byLength.size()) return -1;
  for (const int i : byLength[name.size()])
    if (kSharedNames[static_cast<std::size_t>(i)] == name) return i;
  return -1;
}

}  // namespace

std::span<const std::u16string_view> CommonValueNames() {
  return kSharedNames;
}

int CompareRegNames(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // names next to each other share long beginnings
    const int d = static_cast<int>(FoldUnit(a[i])) - static_cast<int>(FoldUnit(b[i]));
    if (d != 0) return d;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

std::u16string FoldRegName(std::u16string_view name) {
  std::u16string out(name);
  for (char16_t& c : out) c = FoldUnit(c);
  return out;
}

bool RegNamesEqual(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && CompareRegNames(a, b) == 0;
}

RegKey::~RegKey() {
  std::vector<std::unique_ptr<RegKey>> pending = std::move(subkeys_);
  while (!pending.empty()) {
    std::unique_ptr<RegKey> key = std::move(pending.back());
    pending.pop_back();
    for (auto& child : key->subkeys_) pending.push_back(std::move(child));
    key->subkeys_.clear();
  }
}

char* RegArena::Allocate(std::size_t size) {
  // Blocks grow from 4 KB to 64 KB: a small tree (of which a list of many prefixes holds
  // many) takes little, and a file read in many pieces, each into a tree of its own, leaves
  // little unused at the end of each.
  constexpr std::size_t kLargestBlock = 64 * 1024;
  if (size > kLargestBlock / 4) return blocks_.emplace_back(new char[size]).get();
  if (size > left_) {
    const std::size_t block = std::size_t{4096} << std::min<std::size_t>(blocks_.size(), 4);
    next_ = blocks_.emplace_back(new char[std::max(block, size)]).get();
    left_ = std::max(block, size);
  }
  // Names are UTF-16: every piece starts at an even address.
  const std::size_t used = (size + 1) & ~std::size_t{1};
  char* piece = next_;
  next_ += used;
  left_ -= std::min(used, left_);
  return piece;
}

void RegArena::Adopt(RegArena&& other) {
  // Our current block stays the one being filled.
  for (auto& block : other.blocks_) blocks_.push_back(std::move(block));
  other.blocks_.clear();
  other.next_ = nullptr;
  other.left_ = 0;
}

RegValue::RegValue(std::u16string_view name, std::uint32_t type, std::string_view data)
    : type(type) {
  Assign(name, data, nullptr);
}

RegValue::RegValue(std::u16string_view name, std::uint32_t type, std::string_view data,
                   RegArena* arena)
    : type(type) {
  Assign(name, data, arena);
}

RegValue::RegValue(RegValue&& other) noexcept
    : type(other.type), name_(other.name_), size_(other.size_) {
  std::memcpy(local_, other.local_, kLocalSize);
  other.name_ = kSharedName;
  other.size_ = 0;
  other.heap_ = nullptr;
}

RegValue& RegValue::operator=(const RegValue& other) {
  if (this != &other) {
    RegValue copy(other);
    *this = std::move(copy);
  }
  return *this;
}

RegValue& RegValue::operator=(RegValue&& other) noexcept {
  if (this != &other) {
    Free();
    type = other.type;
    name_ = other.name_;
    size_ = other.size_;
    std::memcpy(local_, other.local_, kLocalSize);
    other.name_ = kSharedName;
    other.size_ = 0;
    other.heap_ = nullptr;
  }
  return *this;
}

void RegValue::Assign(std::u16string_view name, std::string_view data, RegArena* arena) {
  if (data.size() > 0xFFFFFFFFu || name.size() >= kPacked)
    throw std::length_error("registry value too large");
  const int shared = SharedNameIndex(name);
  name_ = shared >= 0 ? (kSharedName | static_cast<std::uint32_t>(shared))
                      : static_cast<std::uint32_t>(name.size());
  size_ = static_cast<std::uint32_t>(data.size());
  if (Local()) {
    if (!data.empty()) std::memcpy(local_, data.data(), data.size());
    return;
  }
  // Packed: the units' low bytes when every high byte is zero, and no zeros at the end.
  bool narrow = data.size() % 2 == 0;
  for (std::size_t i = 1; narrow && i < data.size(); i += 2) narrow = data[i] == 0;
  std::size_t kept = narrow ? data.size() / 2 : data.size();
  const auto keptByte = [&](std::size_t i) { return narrow ? data[2 * i] : data[i]; };
  while (kept > 0 && keptByte(kept - 1) == 0) --kept;
  const bool packed = kept + kPackHeader < data.size();
  const std::size_t nameBytes = NameBytes();
  const std::size_t total = nameBytes + (packed ? kPackHeader + kept : data.size());
  if (arena && total) {
    heap_ = arena->Allocate(total);
    name_ |= kInArena;
  } else {
    heap_ = total ? new char[total] : nullptr;
  }
  if (nameBytes) std::memcpy(heap_, name.data(), nameBytes);
  char* out = heap_ + nameBytes;
  if (!packed) {
    if (!data.empty()) std::memcpy(out, data.data(), data.size());
    return;
  }
  name_ |= kPacked;
  const std::uint32_t header = static_cast<std::uint32_t>(kept) | (narrow ? kNarrow : 0);
  std::memcpy(out, &header, kPackHeader);
  out += kPackHeader;
  if (!narrow) {
    std::memcpy(out, data.data(), kept);
    return;
  }
  for (std::size_t i = 0; i < kept; ++i) out[i] = data[2 * i];
}

std::u16string_view RegValue::Name() const {
  if (SharedName()) return kSharedNames[NameField()];
  return {reinterpret_cast<const char16_t*>(heap_), NameField()};
}

std::string_view RegValue::Stored(bool& narrow) const {
  const char* at = heap_ + NameBytes();
  std::uint32_t header;
  std::memcpy(&header, at, kPackHeader);
  narrow = (header & kNarrow) != 0;
  return {at + kPackHeader, header & ~kNarrow};
}

std::string_view RegValue::Data(std::string& scratch) const {
  if (Local()) return {local_, size_};
  if (!Packed()) return {heap_ ? heap_ + NameBytes() : nullptr, size_};
  bool narrow;
  const std::string_view stored = Stored(narrow);
  scratch.assign(size_, '\0');
  if (narrow)
    for (std::size_t i = 0; i < stored.size(); ++i) scratch[2 * i] = stored[i];
  else
    std::memcpy(scratch.data(), stored.data(), stored.size());
  return scratch;
}

std::string RegValue::Bytes() const {
  std::string scratch;
  const std::string_view data = Data(scratch);
  if (data.data() == scratch.data()) return scratch;
  return std::string(data);
}

bool RegValue::DataEquals(std::string_view bytes) const {
  if (bytes.size() != size_) return false;
  std::string scratch;
  return Data(scratch) == bytes;
}

void RegValue::SetData(std::string_view data) {
  RegValue replaced(Name(), type, data);
  *this = std::move(replaced);
}

std::u16string RegValue::Text() const {
  if (Packed()) {
    bool narrow;
    const std::string_view stored = Stored(narrow);
    if (narrow) {
      const std::size_t n = std::min(stored.size(), stored.find('\0'));
      std::u16string units(n, u'\0');
      for (std::size_t i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(stored[i]);
      return units;
    }
  }
  std::string scratch;
  std::u16string units = Utf16LeUnits(Data(scratch));
  units.resize(std::min(units.size(), units.find(u'\0')));
  return units;
}

std::string RegValue::TextUtf8() const {
  if (Packed()) {
    bool narrow;
    const std::string_view stored = Stored(narrow);
    if (narrow) {
      // Each unit is below 256: ASCII as it is, the rest as two UTF-8 bytes.
      const std::size_t n = std::min(stored.size(), stored.find('\0'));
      std::string out;
      out.reserve(n);
      for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(stored[i]);
        if (c < 0x80) {
          out += static_cast<char>(c);
        } else {
          out += static_cast<char>(0xC0 | (c >> 6));
          out += static_cast<char>(0x80 | (c & 0x3F));
        }
      }
      return out;
    }
  }
  // Most texts are ASCII: those are copied unit by unit, without a UTF-16 copy between.
  std::string scratch;
  const std::string_view data = Data(scratch);
  std::string out(data.size() / 2, '\0');
  std::size_t n = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Four units at a time while each is ASCII and none is zero.
    constexpr std::uint64_t kLowUnits = 0x0001000100010001ull, kHighBits = 0x8000800080008000ull;
    for (; n + 4 <= out.size(); n += 4) {
      std::uint64_t units;
      std::memcpy(&units, data.data() + 2 * n, 8);
      if ((units & 0xFF80FF80FF80FF80ull) || ((units - kLowUnits) & ~units & kHighBits)) break;
      for (int k = 0; k < 4; ++k) out[n + k] = static_cast<char>(units >> (16 * k));
    }
  }
  for (; n < out.size(); ++n) {
    const unsigned char low = static_cast<unsigned char>(data[2 * n]);
    if (data[2 * n + 1] != 0 || low >= 0x80) return Utf16ToUtf8(Text());
    if (low == 0) break;
    out[n] = static_cast<char>(low);
  }
  out.resize(n);
  return out;
}

void AssignUtf16(std::u16string& out, std::string_view text) {
  out.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) {
      out = Utf8ToUtf16(text);
      return;
    }
    out[i] = static_cast<char16_t>(text[i]);
  }
}

namespace {

// UTF-16 units to little-endian bytes and back: on a little-endian machine, a plain copy.
void UnitsToLeBytes(const char16_t* units, std::size_t count, char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    if (count) std::memcpy(out, units, count * 2);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      out[2 * i] = static_cast<char>(units[i] & 0xFF);
      out[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
  }
}

}  // namespace

std::string Utf16LeBytes(std::u16string_view text) {
  std::string data(text.size() * 2, '\0');
  UnitsToLeBytes(text.data(), text.size(), data.data());
  return data;
}

std::u16string Utf16LeUnits(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  if constexpr (std::endian::native == std::endian::little) {
    if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
  } else {
    for (std::size_t i = 0; i < units.size(); ++i)
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return units;
}

void AssignRegText(std::string& out, std::u16string_view text) {
  out.resize(2 * text.size() + 2);
  UnitsToLeBytes(text.data(), text.size(), out.data());
  out[out.size() - 2] = out[out.size() - 1] = '\0';
}

std::string TextToRegData(std::u16string_view text) {
  std::string data;
  AssignRegText(data, text);
  return data;
}

std::string DwordToRegData(std::uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return data;
}

void RegKey::LoadNow() const {
  RegKeyLoader* loader = extra_->loader;
  extra_->loader = nullptr;  // the loader adds through the usual calls
  loader->Load(const_cast<RegKey&>(*this));
}

RegKey* RegKey::FindSubKey(std::u16string_view name) const {
  Fill();
  auto& items = const_cast<std::vector<std::unique_ptr<RegKey>>&>(subkeys_);
  auto it = LowerBoundByName(items, name, KeyName);
  return (it != items.end() && RegNamesEqual((*it)->Name(), name)) ? it->get() : nullptr;
}

RegKey& RegKey::EnsureSubKey(std::u16string_view name) {
  Fill();
  // Files list keys in sorted order: appending is the common case.
  if (subkeys_.empty() || CompareRegNames(subkeys_.back()->Name(), name) < 0) {
    subkeys_.push_back(std::make_unique<RegKey>(std::u16string(name), this));
    return *subkeys_.back();
  }
  auto it = LowerBoundByName(subkeys_, name, KeyName);
  if (it != subkeys_.end() && RegNamesEqual((*it)->Name(), name)) return **it;
  it = subkeys_.insert(it, std::make_unique<RegKey>(std::u16string(name), this));
  return **it;
}

bool RegKey::Merge(RegKey&& other) {
  if (!other.values_.empty()) {
    if (!values_.empty()) return false;
    values_ = std::move(other.values_);
  }
  if (other.extra_ && other.extra_->className) {
    if (extra_ && extra_->className) return false;
    Extra().className = std::move(other.extra_->className);
  }
  isLink = isLink || other.isLink;
  if (!modified) modified = other.modified;
  if (other.extra_ && other.extra_->arena) Arena().Adopt(std::move(*other.extra_->arena));
  std::vector<std::unique_ptr<RegKey>> theirs = std::move(other.subkeys_);
  other.subkeys_.clear();
  for (auto& key : theirs) key->parent_ = this;
  // Two halves of a file in sorted order: theirs all come after ours.
  if (subkeys_.empty() || theirs.empty() ||
      CompareRegNames(subkeys_.back()->Name(), theirs.front()->Name()) < 0) {
    subkeys_.insert(subkeys_.end(), std::make_move_iterator(theirs.begin()),
                    std::make_move_iterator(theirs.end()));
    return true;
  }
  std::vector<std::unique_ptr<RegKey>> ours = std::move(subkeys_);
  subkeys_.clear();
  subkeys_.reserve(ours.size() + theirs.size());
  std::size_t i = 0, j = 0;
  while (i < ours.size() || j < theirs.size()) {
    const int order = i == ours.size()     ? 1
                      : j == theirs.size() ? -1
                                           : CompareRegNames(ours[i]->Name(), theirs[j]->Name());
    if (order < 0) {
      subkeys_.push_back(std::move(ours[i++]));
    } else if (order > 0) {
      subkeys_.push_back(std::move(theirs[j++]));
    } else {
      if (!ours[i]->Merge(std::move(*theirs[j++]))) {
        // The rest goes back, so that the tree still owns all it had.
        for (; i < ours.size(); ++i) subkeys_.push_back(std::move(ours[i]));
        return false;
      }
      subkeys_.push_back(std::move(ours[i++]));
    }
  }
  return true;
}

bool RegKey::RemoveSubKey(std::u16string_view name) {
  Fill();
  auto it = LowerBoundByName(subkeys_, name, KeyName);
  if (it == subkeys_.end() || !RegNamesEqual((*it)->Name(), name)) return false;
  subkeys_.erase(it);
  return true;
}

const RegValue* RegKey::FindValue(std::u16string_view name) const {
  Fill();
  auto& items = const_cast<std::vector<RegValue>&>(values_);
  auto it = LowerBoundByName(items, name, ValueName);
  return (it != items.end() && RegNamesEqual(it->Name(), name)) ? &*it : nullptr;
}

RegValue& RegKey::SetValue(std::u16string_view name, std::uint32_t type, std::string_view data,
                           RegArena* arena) {
  Fill();
  auto it = (values_.empty() || CompareRegNames(values_.back().Name(), name) < 0)
                ? values_.end()
                : LowerBoundByName(values_, name, ValueName);
  if (it == values_.end() || !RegNamesEqual(it->Name(), name))
    return *values_.insert(it, RegValue(name, type, data, arena));
  // The name keeps its first spelling, as in Windows.
  *it = RegValue(it->Name(), type, data, arena);
  return *it;
}

RegValue& RegKey::AppendValue(std::u16string_view name, std::uint32_t type, std::string_view data,
                              RegArena* arena) {
  Fill();
  return values_.emplace_back(name, type, data, arena);
}

bool RegKey::RemoveValue(std::u16string_view name) {
  Fill();
  auto it = LowerBoundByName(values_, name, ValueName);
  if (it == values_.end() || !RegNamesEqual(it->Name(), name)) return false;
  values_.erase(it);
  return true;
}

namespace {

// Calls `use` with each non-empty segment of "A\B\C" in turn while it answers true.
template <typename Use>
void ForEachPathSegment(std::string_view path, Use use) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start && !use(path.substr(start, end - start))) return;
    start = end + 1;
  }
}

}  // namespace

std::vector<std::u16string> SplitRegPath(std::string_view path) {
  std::vector<std::u16string> parts;
  ForEachPathSegment(path, [&](std::string_view segment) {
    parts.push_back(Utf8ToUtf16(segment));
    return true;
  });
  return parts;
}

RegKey* FindRegKey(RegKey* root, std::string_view path) {
  RegKey* key = root;
  std::u16string part;  // its storage reused from segment to segment
  ForEachPathSegment(path, [&](std::string_view segment) {
    if (!key) return false;
    AssignUtf16(part, segment);
    key = key->FindSubKey(part);
    return true;
  });
  return key;
}

std::uint64_t FileTimeNow() {
  using namespace std::chrono;
  constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ull;
  const auto since1970 =
      duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100;
  return kTicks1601To1970 + static_cast<std::uint64_t>(since1970);
}

}  // namespace pgl
