// The in-memory registry tree: keys with sorted subkeys and typed values, as Windows keeps them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pgl {

// Predefined root keys, by their Windows handle values.
using RootKey = std::uint32_t;
inline constexpr RootKey kHkeyClassesRoot = 0x80000000;
inline constexpr RootKey kHkeyCurrentUser = 0x80000001;
inline constexpr RootKey kHkeyLocalMachine = 0x80000002;
inline constexpr RootKey kHkeyUsers = 0x80000003;
inline constexpr RootKey kHkeyPerformanceData = 0x80000004;
inline constexpr RootKey kHkeyCurrentConfig = 0x80000005;
inline constexpr RootKey kHkeyDynData = 0x80000006;

// Registry value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Orders names as Wine's registry does: UTF-16 units folded to lower case,
// a name that is a prefix of another sorts first.
int CompareRegNames(std::u16string_view a, std::u16string_view b);
bool RegNamesEqual(std::u16string_view a, std::u16string_view b);
// The name with each unit folded as the comparisons above fold it: two names are equal exactly
// when their folded forms are.
std::u16string FoldRegName(std::u16string_view name);

// One value: its name, type and data in at most one allocation. The names programs' Uninstall
// and usage keys use most are shared, and short data under such a name is kept in place:
// a registry of many programs holds hundreds of thousands of these.
class RegValue {
 public:
  RegValue() = default;
  RegValue(std::u16string_view name, std::uint32_t type, std::string_view data);
  RegValue(const RegValue& other) : RegValue(other.Name(), other.type, other.Data()) {}
  RegValue(RegValue&& other) noexcept;
  RegValue& operator=(const RegValue& other);
  RegValue& operator=(RegValue&& other) noexcept;
  ~RegValue() { Free(); }

  // Empty: the key's default value.
  std::u16string_view Name() const;
  // The bytes as the registry holds them (UTF-16LE for texts).
  std::string_view Data() const;
  void SetData(std::string_view data);

  // The data as UTF-16 text up to its first zero unit.
  std::u16string Text() const;
  // The same as UTF-8.
  std::string TextUtf8() const;

  std::uint32_t type = kRegNone;

 private:
  static constexpr std::uint32_t kSharedName = 0x80000000u;
  static constexpr std::size_t kLocalSize = sizeof(char*);

  bool SharedName() const { return (name_ & kSharedName) != 0; }
  std::size_t NameBytes() const { return SharedName() ? 0 : name_ * sizeof(char16_t); }
  bool Local() const { return SharedName() && size_ <= kLocalSize; }
  void Assign(std::u16string_view name, std::string_view data);
  void Free() {
    if (!Local()) delete[] heap_;
  }

  union {
    char* heap_ = nullptr;  // the name's units (unless shared), then the data
    char local_[kLocalSize];
  };
  std::uint32_t name_ = kSharedName;  // a shared name's index with kSharedName, else its length
  std::uint32_t size_ = 0;            // of the data
};

// UTF-16 units as little-endian bytes, and back (an odd last byte is dropped).
std::string Utf16LeBytes(std::u16string_view text);
std::u16string Utf16LeUnits(std::string_view bytes);
// Stores `text` as REG_SZ-style data: UTF-16LE with a terminating zero.
std::string TextToRegData(std::u16string_view text);
std::string DwordToRegData(std::uint32_t value);

class RegKey;

// Fills a key with its values and subkeys the first time either is asked for: for stores that
// read a live registry key by key rather than a whole file at once.
class RegKeyLoader {
 public:
  virtual ~RegKeyLoader() = default;
  // Adds the key's subkeys (each to be loaded in turn) and values.
  virtual void Load(RegKey& key) = 0;
};

class RegKey {
 public:
  RegKey(std::u16string name, RegKey* parent) : name_(std::move(name)), parent_(parent) {}
  // Frees the subtree without recursion, however deep it is.
  ~RegKey();
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  const std::u16string& Name() const { return name_; }
  RegKey* Parent() const { return parent_; }
  const std::vector<std::unique_ptr<RegKey>>& SubKeys() const {
    Fill();
    return subkeys_;
  }
  const std::vector<RegValue>& Values() const {
    Fill();
    return values_;
  }
  // The key's subkeys and values are read by `loader` when first asked for.
  void LoadLater(RegKeyLoader* loader) { loader_ = loader; }

  RegKey* FindSubKey(std::u16string_view name) const;
  // The subkey of that name, created (in sorted place) when missing.
  RegKey& EnsureSubKey(std::u16string_view name);
  bool RemoveSubKey(std::u16string_view name);

  const RegValue* FindValue(std::u16string_view name) const;
  RegValue& SetValue(std::u16string_view name, std::uint32_t type, std::string_view data);
  bool RemoveValue(std::u16string_view name);
  // Gives back the values' spare room once no more are coming.
  void ShrinkValues() { values_.shrink_to_fit(); }

  // Last modification as a FILETIME (100 ns units since 1601); 0 while unknown.
  std::uint64_t modified = 0;
  std::optional<std::u16string> className;
  bool isLink = false;

 private:
  void Fill() const {
    if (loader_) [[unlikely]]
      LoadNow();
  }
  void LoadNow() const;

  std::u16string name_;
  RegKey* parent_;
  mutable RegKeyLoader* loader_ = nullptr;
  std::vector<std::unique_ptr<RegKey>> subkeys_;
  std::vector<RegValue> values_;
};

// `text` (UTF-8) as UTF-16 in `out`, reusing its storage.
void AssignUtf16(std::u16string& out, std::string_view text);

// Splits "A\B\C" into its UTF-16 segments; empty segments are skipped.
std::vector<std::u16string> SplitRegPath(std::string_view path);
// The key at `path` below `root`, or null.
RegKey* FindRegKey(RegKey* root, std::string_view path);

// The current time as a FILETIME.
std::uint64_t FileTimeNow();

}  // namespace pgl
