// The uninstall entries: the fixed-width entry record, the item that holds one, and the
// collection that keeps them in display order, counts, sorts and prunes them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "inventory/SlowInfoCache.h"
#include "inventory/UninstallPlaces.h"
#include "platform/Platform.h"
#include "registry/RegistryStore.h"
#include "util/Utf.h"

namespace pgl {

// A text that most entries leave empty: a pointer's room while it is.
class RareText {
 public:
  RareText() = default;
  RareText(const RareText& other) { *this = other; }
  RareText(RareText&&) noexcept = default;
  RareText& operator=(const RareText& other) {
    if (this != &other) text_ = other.text_ ? std::make_unique<std::string>(*other.text_) : nullptr;
    return *this;
  }
  RareText& operator=(RareText&&) noexcept = default;
  RareText& operator=(std::string_view text) { return *this = std::string(text); }
  RareText& operator=(std::string&& text) {
    if (text.empty())
      text_.reset();
    else if (text_)
      *text_ = std::move(text);
    else
      text_ = std::make_unique<std::string>(std::move(text));
    return *this;
  }
  const std::string& str() const {
    static const std::string kEmpty;
    return text_ ? *text_ : kEmpty;
  }
  bool empty() const { return !text_; }
  bool operator==(const RareText& other) const { return str() == other.str(); }

 private:
  std::unique_ptr<std::string> text_;
};

// A text field of at most N characters: a longer text is cut, never inside a UTF-8 sequence,
// and (with `MarkCut`) ends in "…" so that no output passes a cut value off as the value: its
// first N - 1 characters and the mark. A `Rare` field takes less room while it is empty and
// more once it is not.
template <std::size_t N, bool MarkCut = true, bool Rare = false>
class FixedText {
 public:
  FixedText() = default;
  FixedText(std::string_view text) { text_ = Cut(text); }  // NOLINT: implicit
  FixedText& operator=(std::string_view text) {
    text_ = Cut(text);
    return *this;
  }
  FixedText& operator=(const char* text) { return *this = std::string_view(text); }
  FixedText& operator=(std::string&& text) {
    // No more characters than bytes: a text of N bytes or fewer fits.
    if (text.size() > N && Utf8Length(text) > N) text = Cut(text);
    text_ = std::move(text);
    return *this;
  }
  const std::string& str() const {
    if constexpr (Rare)
      return text_.str();
    else
      return text_;
  }
  bool empty() const { return str().empty(); }
  bool operator==(const FixedText&) const = default;

 private:
  static std::string Cut(std::string_view text) {
    if (text.size() <= N || Utf8Length(text) <= N) return std::string(text);
    if (!MarkCut) return Utf8Truncate(text, N);
    return Utf8Truncate(text, N - 1) + "\u2026";
  }
  std::conditional_t<Rare, RareText, std::string> text_;
};

// The widths hold what real programs write: a date as ctime writes it ("Thu Jul 10 14:23:35
// 2025"), a version with its build and edition, a web address with its query. A longer value
// is marked as cut; the key name, an identifier, is cut unmarked (SubkeyName holds it whole).
struct TUninstallInfo {
  FixedText<100, false> KeyName;
  FixedText<140> DisplayName;
  std::string DisplayIcon;
  FixedText<100> DisplayVersion;
  std::string UninstallString;
  std::string QuietUninstallString;
  std::string ModifyPath;
  FixedText<80> Publisher;
  FixedText<2048> HelpLink;
  FixedText<64> InstallDate;
  std::string InstallLocation;
  std::string InstallSource;
  FixedText<2048> URLInfoAbout;
  FixedText<2048, true, true> URLUpdateInfo;
  FixedText<200, true, true> Comments;
  FixedText<140, true, true> Contact;
  FixedText<2048, true, true> Readme;
  TSlowInfoCache SlowInfo;      // read from the registry without its program file, which is ExeFile
  bool HasUsageRecord = false;  // SlowInfo was read from the entry's usage record
  std::int64_t EstimatedSize = -1;  // bytes, from the entry's EstimatedSize (in KB); -1: none
  std::string ExeFile;
  std::string IconFile;
  std::int32_t IconIndex = 0;
  bool HasIcon = false;
  bool Valid = false;
  bool SystemComponent = false;
  bool Visible = false;
  bool Exists = false;
  // Where the entry lives: its place, and the key's whole name where KeyName (cut to 100
  // characters) is not all of it.
  UninstallView View = UninstallView::Machine;
  RareText SubkeyName;
  // In a list of several systems: the name of the entry's own and its place among them.
  RareText PrefixName;
  int SystemIndex = 0;
};

class TUninstallItem {
 public:
  TUninstallInfo UninstallInfo;
};

// The name of the entry's key below its place's Uninstall key: the whole name where the scan
// kept it, else KeyName.
inline const std::string& EntrySubkey(const TUninstallInfo& info) {
  return info.SubkeyName.empty() ? info.KeyName.str() : info.SubkeyName.str();
}

// The entry's key as "HKLM\...\Uninstall\Name". Made when asked: a long list would hold one
// for every entry.
inline std::string RegistryKeyOf(const TUninstallInfo& info) {
  return EntryKeyText(info.View, EntrySubkey(info));
}

// What the list sorts by: one of its columns (the value is the column's tag, and what the
// settings file stores), the prefix of each entry in a list of every prefix, or nothing. A
// stored number that is none of these sorts nothing either, keeping the order.
enum class SortKey : int {
  DisplayName = 0,
  Publisher = 1,
  InstalledSize = 2,
  LastUsed = 3,
  TimesUsed = 4,
  DisplayVersion = 5,
  ProgramFile = 6,
  DisplayIcon = 7,
  IconFile = 8,
  UninstallString = 9,
  QuietUninstallString = 10,
  ModifyPath = 11,
  InstallDate = 12,
  InstallLocation = 13,
  InstallSource = 14,
  AboutLink = 15,
  UpdateLink = 16,
  HelpLink = 17,
  Comments = 18,
  Contact = 19,
  Readme = 20,
  SystemComponent = 21,
  RegistryKey = 22,
  Prefix = 23,
  None = 100,
};
// The key of a column's tag, or of a number the settings file stored.
constexpr SortKey SortKeyOfTag(int tag) {
  return static_cast<SortKey>(tag);
}
constexpr int TagOf(SortKey key) {
  return static_cast<int>(key);
}

// What CompareItems answers when two entries have no order.
inline constexpr int kNoOrder = 65535;

// What a scan met that the user should hear of.
struct ScanReport {
  bool uninstallKeyFound = false;
  int unreadableValues = 0;     // values of a type that cannot be read as text
  std::string firstUnreadable;  // "entry: value" of the first of them
};

class TUninstallCollection {
 public:
  // Reads the subkey names to visit, and counts (nothing: the collection starts empty).
  TUninstallCollection(RegistryStore& registry, const Platform& platform);

  int Count() const { return static_cast<int>(items_.size()); }
  void Clear() { items_.clear(); }
  // Raises std::out_of_range "List index out of bounds (%d)".
  TUninstallItem& GetItem(int index);
  const TUninstallItem& GetItem(int index) const;
  TUninstallItem& AddItem();

  bool GetSystemComponentsVisible() const { return SystemComponentsVisible; }
  void SetSystemComponentsVisible(bool value);

  // The subkey names a scan visits, per place: those of the Uninstall and the ARPCache key,
  // sorted, a name equal to an earlier one without regard to case left out.
  void ReadKeyNames();
  const std::vector<std::string>& KeyNames(UninstallView view = UninstallView::Machine) const {
    return keyNames_[static_cast<std::size_t>(view)];
  }

  // The scan: every entry of KeyNames that has an Uninstall key, place by place, with its
  // usage record, (when CheckUninstallers) whether its uninstaller is there and (when
  // FindIconFiles) its icon file, then counted.
  ScanReport ReadUninstallEntries();
  // The scan, then the list's order: by name, then by the stored column (CurrentSort,
  // SortAscending), as the window shows it and pgl-cli prints it.
  ScanReport ScanSorted();
  // The list's order alone (needs no registry).
  void SortAsListed();
  void ReadARPCache();
  void ResolveIcons();
  // Looks for the uninstallers the last scan left out (CheckUninstallers off) and counts again;
  // nothing when it left none out.
  void FindUninstallers();
  // Counts the entries that exist (a gone one stays until DeleteNonExisting drops it).
  void UpdateCounts();

  // Whether each entry's own Uninstall key still exists.
  void CheckKeysExist();
  int DeleteNonExisting();

  // -1, 0 or 1; kNoOrder for an index out of range or the key SortKey::None.
  int CompareItems(int index1, int index2, bool ignoreCase, SortKey sortKey) const;
  // Orders by the key in the direction SortAscending, exactly as a selection sort by exchange
  // of records does (equal entries included), in O(n log n).
  void SortItems(SortKey sortKey);
  void SortByName();

  bool SystemComponentsVisible = true;
  // Whether a scan looks for each entry's icon file (IconFile, HasIcon), a file look-up or more
  // per entry: the window draws the icons; a printed list has no use for them.
  bool FindIconFiles = true;
  // Whether a scan looks for each entry's uninstaller (Valid), a file look-up or more per entry
  // and most of a long list's scan. Off, every entry whose commands could be read counts as
  // valid until FindUninstallers: for a list that shows no validity, or shows it a moment later.
  bool CheckUninstallers = true;
  int TotalCount = 0, ValidCount = 0, InvalidCount = 0, VisibleCount = 0, HiddenCount = 0,
      SystemCount = 0, NonSystemCount = 0;
  bool SortAscending = true;
  SortKey CurrentSort = SortKey::DisplayName;

 private:
  void SelectionOrder(const std::vector<std::uint32_t>& ranks, bool ascending);

  RegistryStore& registry_;
  const Platform& platform_;
  std::vector<std::unique_ptr<TUninstallItem>> items_;
  bool uninstallersLeftOut_ = false;  // by the last scan, for FindUninstallers
  std::array<std::vector<std::string>, kUninstallViewCount> keyNames_;
};

// The text of a text sort key, or null for a numeric or unknown key. A text made for the
// purpose (the registry key) is made in `made`.
const std::string* SortKeyText(const TUninstallInfo& info, SortKey sortKey, std::string& made);
// The number of a numeric sort key (size, last used, times used, system component).
// The number a numeric key sorts by; nothing where it is not known (no usage record, no
// estimate), which sorts after every known one in either direction.
std::optional<std::int64_t> SortKeyNumber(const TUninstallInfo& info, SortKey sortKey);

// Where an entry's size comes from: its usage record (Windows' ARPCache), else the entry's own
// EstimatedSize (Wine writes no usage records), else nowhere: the size is not known.
enum class SizeSource { UsageRecord, Estimate, Unknown };
SizeSource EntrySizeSource(const TUninstallInfo& info);
// The size in bytes, -1 where it is not known.
std::int64_t EntrySize(const TUninstallInfo& info);
// How often the program was used, -1 where it is not known (no usage record).
std::int32_t EntryTimesUsed(const TUninstallInfo& info);
// When it was last used (a FILETIME), 0 where it is not known.
std::uint64_t EntryLastUsed(const TUninstallInfo& info);
bool IsNumericSortKey(SortKey sortKey);

}  // namespace pgl
