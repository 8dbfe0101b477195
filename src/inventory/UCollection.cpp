#include "inventory/UCollection.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string_view>
#include <unordered_set>

#include "registry/TRegistry.h"
#include "util/Locale.h"

namespace pgl {

std::uint32_t TSlowInfoCache::U32(std::size_t at) const {
  return static_cast<std::uint32_t>(head[at]) | (static_cast<std::uint32_t>(head[at + 1]) << 8) |
         (static_cast<std::uint32_t>(head[at + 2]) << 16) |
         (static_cast<std::uint32_t>(head[at + 3]) << 24);
}

std::uint64_t TSlowInfoCache::U64(std::size_t at) const {
  return static_cast<std::uint64_t>(U32(at)) | (static_cast<std::uint64_t>(U32(at + 4)) << 32);
}

void TSlowInfoCache::Put(std::size_t at, std::uint64_t v, int size) {
  for (int i = 0; i < size; ++i) head[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TSlowInfoCache TSlowInfoCache::FromBytes(std::string_view record, std::string* programFile) {
  TSlowInfoCache cache;
  record = record.substr(0, kSize);
  for (std::size_t i = 0; i < kHeadSize && i < record.size(); ++i)
    cache.head[i] = static_cast<std::uint8_t>(record[i]);
  std::u16string units;
  if (record.size() > kHeadSize) {
    units = Utf16LeUnits(record.substr(kHeadSize));
    units.resize(std::min(units.size(), units.find(u'\0')));
  }
  // Assigning an empty string would keep the units' buffer: a long list holds one per entry.
  if (programFile)
    *programFile = Utf16ToUtf8(units);
  else
    cache.image_ = std::move(units);
  return cache;
}

std::string TSlowInfoCache::Bytes() const {
  std::string record(reinterpret_cast<const char*>(head.data()), kHeadSize);
  record += Utf16LeBytes(image_);  // at most kSize - kHeadSize bytes
  record.resize(kSize, '\0');
  return record;
}

std::string TSlowInfoCache::ImageName() const {
  return Utf16ToUtf8(image_);
}

void TSlowInfoCache::SetImageName(std::u16string_view name) {
  // The record holds the name's units up to its last whole unit.
  image_ = name.substr(0, std::min(name.find(u'\0'), (kSize - kHeadSize) / 2));
}

TUninstallCollection::TUninstallCollection(RegistryStore& registry, const Platform& platform)
    : registry_(registry), platform_(platform) {
  ReadKeyNames();
  UpdateCounts();
}

TUninstallItem& TUninstallCollection::GetItem(int index) {
  if (index < 0 || index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return *items_[static_cast<std::size_t>(index)];
}

const TUninstallItem& TUninstallCollection::GetItem(int index) const {
  return const_cast<TUninstallCollection*>(this)->GetItem(index);
}

TUninstallItem& TUninstallCollection::AddItem() {
  items_.push_back(std::make_unique<TUninstallItem>());
  return *items_.back();
}

void TUninstallCollection::SetSystemComponentsVisible(bool value) {
  SystemComponentsVisible = value;
  UpdateCounts();
}

void TUninstallCollection::ReadKeyNames() {
  // A sorted list (by the user's collation) that ignores a name the registry takes for one
  // it holds (equal without regard to case, as keys are compared): the first spelling added
  // stays. Names that only collate alike (a full-width "ＡＢ" and "AB") are different keys.
  const TextCollator& collator = TextCollator::User();
  for (const UninstallPlace& place : UninstallPlaces()) {
    std::vector<std::string>& out = keyNames_[static_cast<std::size_t>(place.view)];
    out.clear();
    if (!HasView(registry_, place.view)) continue;
    std::vector<std::string> names;
    TRegistry reg(registry_);
    reg.SetRootKey(place.root);
    std::vector<std::string> part;
    for (const char* key : {place.arpCacheKey, place.uninstallKey}) {
      if (!reg.OpenKeyReadOnly(key)) continue;
      reg.GetKeyNames(part);
      reg.CloseKey();
      names.insert(names.end(), part.begin(), part.end());
    }
    // A program's name is mostly in both keys: a name met before as it is spelled is left out
    // before the (costly) sort keys are made, as the run below would leave it out.
    std::unordered_set<std::string_view> met;
    met.reserve(names.size());
    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
      if (met.insert(names[i]).second) keyed.emplace_back(collator.SortKey(names[i], true), i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::u16string> run;  // the kept names of the run that collate alike
    for (std::size_t i = 0; i < keyed.size(); ++i) {
      if (i == 0 || keyed[i].first != keyed[i - 1].first) run.clear();
      std::u16string name = Utf8ToUtf16(names[keyed[i].second]);
      bool seen = false;
      for (const auto& kept : run) seen = seen || RegNamesEqual(kept, name);
      if (seen) continue;
      run.push_back(std::move(name));
      out.push_back(std::move(names[keyed[i].second]));
    }
  }
}

void TUninstallCollection::UpdateCounts() {
  TotalCount = ValidCount = InvalidCount = VisibleCount = HiddenCount = SystemCount =
      NonSystemCount = 0;
  for (const auto& item : items_) {
    const TUninstallInfo& info = item->UninstallInfo;
    if (!info.Exists) continue;  // gone, and dropped by DeleteNonExisting
    ++TotalCount;
    ++(info.Valid ? ValidCount : InvalidCount);
    ++(info.Visible ? VisibleCount : HiddenCount);
    if (info.SystemComponent) ++SystemCount;
  }
  NonSystemCount = TotalCount - SystemCount;
}

void TUninstallCollection::CheckKeysExist() {
  TRegistry reg(registry_);
  for (auto& item : items_) {
    TUninstallInfo& info = item->UninstallInfo;
    reg.SetRootKey(PlaceOf(info.View).root);
    const std::string& name = EntrySubkey(info);
    info.Exists = !name.empty() && reg.KeyExists(UninstallKeyPath(info.View, name));
  }
}

int TUninstallCollection::DeleteNonExisting() {
  int deleted = 0;
  for (int i = Count() - 1; i >= 0; --i)
    if (!items_[static_cast<std::size_t>(i)]->UninstallInfo.Exists) {
      items_.erase(items_.begin() + i);
      ++deleted;
    }
  return deleted;
}

bool IsNumericSortKey(SortKey sortKey) {
  return sortKey == SortKey::InstalledSize || sortKey == SortKey::LastUsed ||
         sortKey == SortKey::TimesUsed || sortKey == SortKey::SystemComponent;
}

std::int64_t SortKeyNumber(const TUninstallInfo& info, SortKey sortKey) {
  switch (sortKey) {
    case SortKey::InstalledSize:
      return info.SlowInfo.InstalledSize();
    case SortKey::LastUsed:
      return static_cast<std::int64_t>(info.SlowInfo.LastUsed());
    case SortKey::TimesUsed:
      return info.SlowInfo.TimesUsed();
    case SortKey::SystemComponent:
      return info.SystemComponent ? 1 : 0;
    default:
      return 0;
  }
}

const std::string* SortKeyText(const TUninstallInfo& info, SortKey sortKey, std::string& made) {
  switch (sortKey) {
    case SortKey::DisplayName:
      return &info.DisplayName.str();
    case SortKey::Publisher:
      return &info.Publisher.str();
    case SortKey::DisplayVersion:
      return &info.DisplayVersion.str();
    case SortKey::ProgramFile:
      return &info.ExeFile;
    case SortKey::DisplayIcon:
      return &info.DisplayIcon;
    case SortKey::IconFile:
      return &info.IconFile;
    case SortKey::UninstallString:
      return &info.UninstallString;
    case SortKey::QuietUninstallString:
      return &info.QuietUninstallString;
    case SortKey::ModifyPath:
      return &info.ModifyPath;
    case SortKey::InstallDate:
      return &info.InstallDate.str();
    case SortKey::InstallLocation:
      return &info.InstallLocation;
    case SortKey::InstallSource:
      return &info.InstallSource;
    case SortKey::AboutLink:
      return &info.URLInfoAbout.str();
    case SortKey::UpdateLink:
      return &info.URLUpdateInfo.str();
    case SortKey::HelpLink:
      return &info.HelpLink.str();
    case SortKey::Comments:
      return &info.Comments.str();
    case SortKey::Contact:
      return &info.Contact.str();
    case SortKey::Readme:
      return &info.Readme.str();
    case SortKey::RegistryKey:
      made = RegistryKeyOf(info);
      return &made;
    case SortKey::Prefix:
      return &info.PrefixName;
    default:
      return nullptr;
  }
}

int TUninstallCollection::CompareItems(int index1, int index2, bool ignoreCase,
                                       SortKey sortKey) const {
  if (index1 < 0 || index1 >= Count() || index2 < 0 || index2 >= Count() ||
      sortKey == SortKey::None)
    return kNoOrder;
  const TUninstallInfo& a = items_[static_cast<std::size_t>(index1)]->UninstallInfo;
  const TUninstallInfo& b = items_[static_cast<std::size_t>(index2)]->UninstallInfo;
  if (IsNumericSortKey(sortKey)) {
    const std::int64_t x = SortKeyNumber(a, sortKey), y = SortKeyNumber(b, sortKey);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  std::string madeX, madeY;
  const std::string* x = SortKeyText(a, sortKey, madeX);
  const std::string* y = SortKeyText(b, sortKey, madeY);
  if (!x || !y) return 0;  // an unknown key: both sides count as empty
  return TextCollator::User().Compare(*x, *y, ignoreCase);
}

namespace {

// Dense ranks that compare as the entries do under one key.
template <typename Key>
std::vector<std::uint32_t> RanksOf(const std::vector<Key>& keys) {
  std::vector<std::uint32_t> order(keys.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
  std::vector<std::uint32_t> ranks(keys.size());
  std::uint32_t rank = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && keys[order[i - 1]] < keys[order[i]]) ++rank;
    ranks[order[i]] = rank;
  }
  return ranks;
}

// The ranks of the entries' texts in the user's order, without regard to case. The sort keys
// share one piece of memory: a long list would otherwise hold an allocation per entry.
template <typename TextOf>
std::vector<std::uint32_t> TextRanks(std::size_t n, const TextOf& textOf) {
  const TextCollator& collator = TextCollator::User();
  std::string bytes;
  std::vector<std::size_t> ends(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes += collator.SortKey(textOf(i), true);
    ends[i] = bytes.size();
  }
  std::vector<std::string_view> keys(n);
  for (std::size_t i = 0, start = 0; i < n; start = ends[i++])
    keys[i] = std::string_view(bytes).substr(start, ends[i] - start);
  return RanksOf(keys);
}

}  // namespace

void TUninstallCollection::SelectionOrder(const std::vector<std::uint32_t>& ranks, bool ascending) {
  // Selection sort by exchange: at each position i the leftmost best entry of positions
  // i..n-1 is exchanged with the entry at i. A segment tree over the positions finds that
  // entry in O(log n) instead of a linear scan.
  const std::size_t n = ranks.size();
  if (n < 2) return;
  std::vector<std::uint32_t> value = ranks;  // rank of the entry now at each position
  std::vector<std::uint32_t> at(n);          // original index of the entry at each position
  std::iota(at.begin(), at.end(), 0u);
  std::size_t size = 1;
  while (size < n) size *= 2;
  constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::vector<std::uint32_t> tree(2 * size, kNone);  // position of the best leaf below
  const auto better = [&](std::uint32_t left, std::uint32_t right) {
    if (left == kNone) return right;
    if (right == kNone) return left;
    // The right one wins only when strictly better: ties keep the leftmost.
    return (ascending ? value[right] < value[left] : value[right] > value[left]) ? right : left;
  };
  for (std::size_t i = 0; i < n; ++i) tree[size + i] = static_cast<std::uint32_t>(i);
  for (std::size_t i = size - 1; i >= 1; --i) tree[i] = better(tree[2 * i], tree[2 * i + 1]);
  const auto update = [&](std::size_t pos) {
    for (std::size_t i = (size + pos) / 2; i >= 1; i /= 2)
      tree[i] = better(tree[2 * i], tree[2 * i + 1]);
  };
  const auto query = [&](std::size_t from) {  // best of positions [from, n)
    std::uint32_t result = kNone;
    std::size_t lo = from + size, hi = n + size;  // half-open
    std::vector<std::uint32_t> rightParts;
    while (lo < hi) {
      if (lo & 1) result = better(result, tree[lo++]);
      if (hi & 1) rightParts.push_back(tree[--hi]);
      lo /= 2;
      hi /= 2;
    }
    for (auto it = rightParts.rbegin(); it != rightParts.rend(); ++it) result = better(result, *it);
    return result;
  };
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const std::uint32_t pick = query(i);
    if (pick == i) continue;
    std::swap(value[i], value[pick]);
    std::swap(at[i], at[pick]);
    update(i);
    update(pick);
  }
  // Put the records where the exchanges took them. The items move, not their records: a
  // temporary copy of every record would cost a kilobyte and more per entry.
  std::vector<std::unique_ptr<TUninstallItem>> reordered(n);
  for (std::size_t i = 0; i < n; ++i) reordered[i] = std::move(items_[at[i]]);
  items_ = std::move(reordered);
}

void TUninstallCollection::SortItems(SortKey sortKey) {
  CurrentSort = sortKey;
  const std::size_t n = items_.size();
  if (sortKey == SortKey::None) {
    // Every comparison answers "no order" (65535, greater than zero): descending, each step
    // picks the last entry.
    if (!SortAscending)
      for (std::size_t i = 0; i + 1 < n; ++i)
        std::swap(items_[i]->UninstallInfo, items_[n - 1]->UninstallInfo);
    return;
  }
  if (IsNumericSortKey(sortKey)) {
    std::vector<std::int64_t> keys(n);
    for (std::size_t i = 0; i < n; ++i) keys[i] = SortKeyNumber(items_[i]->UninstallInfo, sortKey);
    SelectionOrder(RanksOf(keys), SortAscending);
    return;
  }
  std::string made;
  if (!SortKeyText(TUninstallInfo{}, sortKey, made)) return;  // unknown key: everything equal
  SelectionOrder(TextRanks(n,
                           [&](std::size_t i) -> const std::string& {
                             return *SortKeyText(items_[i]->UninstallInfo, sortKey, made);
                           }),
                 SortAscending);
}

ScanReport TUninstallCollection::ScanSorted() {
  ScanReport report = ReadUninstallEntries();
  SortAsListed();
  return report;
}

void TUninstallCollection::SortAsListed() {
  SortByName();
  // Sorted by name already: the same order again would exchange nothing.
  if (CurrentSort == SortKey::DisplayName && SortAscending) return;
  SortItems(CurrentSort);
}

void TUninstallCollection::SortByName() {
  SelectionOrder(TextRanks(items_.size(),
                           [&](std::size_t i) -> const std::string& {
                             return items_[i]->UninstallInfo.DisplayName.str();
                           }),
                 true);
}

}  // namespace pgl
