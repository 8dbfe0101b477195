// The in-memory registry tree: keys with sorted subkeys and typed values, as Windows keeps them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
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

// Windows refuses keys nested deeper than this many names below a root: no file or script read
// here makes a deeper key, so that nothing hostile makes the tree (and everything that walks it)
// as deep as it likes.
inline constexpr std::size_t kMaxRegKeyDepth = 512;

// Orders names as Wine's registry does: UTF-16 units folded to lower case,
// a name that is a prefix of another sorts first.
int CompareRegNames(std::u16string_view a, std::u16string_view b);
bool RegNamesEqual(std::u16string_view a, std::u16string_view b);
// The name with each unit folded as the comparisons above fold it: two names are equal exactly
// when their folded forms are.
std::u16string FoldRegName(std::u16string_view name);

// Room for the values of a tree read from a file, given back all at once when the tree goes.
class RegArena {
 public:
  char* Allocate(std::size_t size);
  // Takes over the room of `other`, which values elsewhere may use: it lives as long as this.
  void Adopt(RegArena&& other);

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
};

// One value: its name, type and data in at most one allocation. The names programs' Uninstall
// and usage keys use most are shared, and short data under such a name is kept in place:
// a registry of many programs holds hundreds of thousands of these. Longer data is kept
// packed where that is shorter: a text whose units all fit a byte takes a byte a unit, and
// zero bytes at the end (a text's terminator, a usage record's unused room) are not stored.
class RegValue {
 public:
  RegValue() = default;
  RegValue(std::u16string_view name, std::uint32_t type, std::string_view data);
  // The same with the name and data in `arena`, which must outlive the value (a copy has its
  // own storage).
  RegValue(std::u16string_view name, std::uint32_t type, std::string_view data, RegArena* arena);
  RegValue(const RegValue& other) : RegValue(other.Name(), other.type, other.Bytes()) {}
  RegValue(RegValue&& other) noexcept;
  RegValue& operator=(const RegValue& other);
  RegValue& operator=(RegValue&& other) noexcept;
  ~RegValue() { Free(); }

  // Empty: the key's default value.
  std::u16string_view Name() const;
  // The bytes as the registry holds them (UTF-16LE for texts): a view of the value's own
  // storage, or of `scratch` where the value keeps them packed.
  std::string_view Data(std::string& scratch) const;
  // The same bytes, as a copy of their own.
  std::string Bytes() const;
  std::size_t DataSize() const { return size_; }
  bool DataEquals(std::string_view bytes) const;
  void SetData(std::string_view data);

  // Where the name stands in CommonValueNames(), spelled exactly so; -1 for any other name.
  int CommonNameIndex() const { return SharedName() ? static_cast<int>(NameField()) : -1; }

  // The data as UTF-16 text up to its first zero unit.
  std::u16string Text() const;
  // The same as UTF-8.
  std::string TextUtf8() const;

  std::uint32_t type = kRegNone;

 private:
  static constexpr std::uint32_t kSharedName = 0x80000000u;
  static constexpr std::uint32_t kInArena = 0x40000000u;
  static constexpr std::uint32_t kPacked = 0x20000000u;
  static constexpr std::size_t kLocalSize = sizeof(char*);
  // A packed value's storage holds, after its name, this header (the stored bytes' count, and
  // kNarrow when each stored byte is a UTF-16 unit's low byte) and then those bytes.
  static constexpr std::uint32_t kNarrow = 0x80000000u;
  static constexpr std::size_t kPackHeader = sizeof(std::uint32_t);

  bool SharedName() const { return (name_ & kSharedName) != 0; }
  bool Packed() const { return (name_ & kPacked) != 0; }
  std::uint32_t NameField() const { return name_ & ~(kSharedName | kInArena | kPacked); }
  // A packed value's stored bytes and whether they are narrowed units.
  std::string_view Stored(bool& narrow) const;
  std::size_t NameBytes() const { return SharedName() ? 0 : NameField() * sizeof(char16_t); }
  bool Local() const { return SharedName() && size_ <= kLocalSize; }
  void Assign(std::u16string_view name, std::string_view data, RegArena* arena);
  void Free() {
    if (!Local() && !(name_ & kInArena)) delete[] heap_;
  }

  union {
    char* heap_ = nullptr;  // the name's units (unless shared), then the data
    char local_[kLocalSize];
  };
  // A shared name's index with kSharedName, else the name's length; kInArena when heap_ is
  // not the value's own; kPacked when the data is stored packed.
  std::uint32_t name_ = kSharedName;
  std::uint32_t size_ = 0;  // of the data, as Data() gives it
};

// The value names that programs' Uninstall and usage keys use most, each stored once for every
// value that bears it; the first is the default value's (empty).
std::span<const std::u16string_view> CommonValueNames();

// UTF-16 units as little-endian bytes, and back (an odd last byte is dropped).
std::string Utf16LeBytes(std::u16string_view text);
std::u16string Utf16LeUnits(std::string_view bytes);
// Stores `text` as REG_SZ-style data: UTF-16LE with a terminating zero.
std::string TextToRegData(std::u16string_view text);
// The same into `out`, reusing its storage.
void AssignRegText(std::string& out, std::u16string_view text);
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
  void LoadLater(RegKeyLoader* loader) { Extra().loader = loader; }

  RegKey* FindSubKey(std::u16string_view name) const;
  // The subkey of that name, created (in sorted place) when missing.
  RegKey& EnsureSubKey(std::u16string_view name);
  bool RemoveSubKey(std::u16string_view name);

  const RegValue* FindValue(std::u16string_view name) const;
  // A new value's storage comes from `arena` when given.
  RegValue& SetValue(std::u16string_view name, std::uint32_t type, std::string_view data,
                     RegArena* arena = nullptr);
  // The same for a value known to sort after every value the key has, as a file in Wine's
  // order lists them: no search.
  RegValue& AppendValue(std::u16string_view name, std::uint32_t type, std::string_view data,
                        RegArena* arena = nullptr);
  bool RemoveValue(std::u16string_view name);
  // Storage for values added in bulk below this key, held (and freed) with the key: a tree's
  // root holds it, so that it goes wherever the tree goes.
  RegArena& Arena() {
    if (!Extra().arena) extra_->arena = std::make_unique<RegArena>();
    return *extra_->arena;
  }
  // Gives back the values' spare room once no more are coming.
  void ShrinkValues() { values_.shrink_to_fit(); }
  // Joins the tree `other` (read apart from this one, and not loaded key by key) into this
  // one: its keys take their sorted place, a key both have is joined in turn, and its arena
  // comes along. A key keeps its time when it has one. False (both trees are then left in a
  // mixed state, to be thrown away) when a key of both has values, or a class, in both.
  bool Merge(RegKey&& other);

  // Last modification as a FILETIME (100 ns units since 1601); 0 while unknown.
  std::uint64_t modified = 0;
  bool isLink = false;
  // The key's class, which few keys have.
  std::optional<std::u16string> ClassName() const {
    return extra_ && extra_->className ? extra_->className : std::nullopt;
  }
  void SetClassName(std::optional<std::u16string> name) {
    if (name || extra_) Extra().className = std::move(name);
  }

 private:
  // What few keys have, kept apart: a registry holds hundreds of thousands of keys.
  struct Extras {
    RegKeyLoader* loader = nullptr;
    std::unique_ptr<RegArena> arena;
    std::optional<std::u16string> className;
  };
  Extras& Extra() {
    if (!extra_) extra_ = std::make_unique<Extras>();
    return *extra_;
  }
  void Fill() const {
    if (extra_ && extra_->loader) [[unlikely]]
      LoadNow();
  }
  void LoadNow() const;

  std::u16string name_;
  RegKey* parent_;
  std::unique_ptr<Extras> extra_;
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
