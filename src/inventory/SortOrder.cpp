// The list's order: comparing entries by a sort key, and sorting them as a selection sort by
// exchange of records would, in O(n log n).
#include <algorithm>
#include <cstdint>
#include <functional>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "inventory/UCollection.h"
#include "util/Locale.h"
#include "util/Parallel.h"

namespace pgl {

bool IsNumericSortKey(SortKey sortKey) {
  return sortKey == SortKey::InstalledSize || sortKey == SortKey::LastUsed ||
         sortKey == SortKey::TimesUsed || sortKey == SortKey::SystemComponent;
}

SizeSource EntrySizeSource(const TUninstallInfo& info) {
  if (info.HasUsageRecord && info.SlowInfo.InstalledSize() >= 0) return SizeSource::UsageRecord;
  if (info.EstimatedSize >= 0) return SizeSource::Estimate;
  return SizeSource::Unknown;
}

std::int64_t EntrySize(const TUninstallInfo& info) {
  switch (EntrySizeSource(info)) {
    case SizeSource::UsageRecord:
      return info.SlowInfo.InstalledSize();
    case SizeSource::Estimate:
      return info.EstimatedSize;
    case SizeSource::Unknown:
      break;
  }
  return -1;
}

std::int32_t EntryTimesUsed(const TUninstallInfo& info) {
  return info.HasUsageRecord && info.SlowInfo.TimesUsed() >= 0 ? info.SlowInfo.TimesUsed() : -1;
}

std::uint64_t EntryLastUsed(const TUninstallInfo& info) {
  return info.HasUsageRecord ? info.SlowInfo.LastUsed() : 0;
}

std::optional<std::int64_t> SortKeyNumber(const TUninstallInfo& info, SortKey sortKey) {
  switch (sortKey) {
    case SortKey::InstalledSize:
      if (const std::int64_t size = EntrySize(info); size >= 0) return size;
      return std::nullopt;
    case SortKey::LastUsed:
      if (const std::uint64_t last = EntryLastUsed(info); last != 0)
        return static_cast<std::int64_t>(last);
      return std::nullopt;
    case SortKey::TimesUsed:
      if (const std::int32_t times = EntryTimesUsed(info); times >= 0) return times;
      return std::nullopt;
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
      return &info.PrefixName.str();
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
    const auto x = SortKeyNumber(a, sortKey), y = SortKeyNumber(b, sortKey);
    // What is not known comes after what is, whichever way the list is sorted.
    if (!x || !y) return x ? (SortAscending ? -1 : 1) : y ? (SortAscending ? 1 : -1) : 0;
    return *x < *y ? -1 : (*x > *y ? 1 : 0);
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
// are made on every core, a run of entries each; a run's keys share one piece of memory: a long
// list would otherwise hold an allocation per entry.
template <typename TextOf>
std::vector<std::uint32_t> TextRanks(std::size_t n, const TextOf& textOf) {
  // One entry or none has one order: the collation need not be loaded for it.
  if (n < 2) return std::vector<std::uint32_t>(n, 0);
  const TextCollator& collator = TextCollator::User();
  constexpr std::size_t kRun = 1024;
  const std::size_t runs = (n + kRun - 1) / kRun;
  std::vector<std::string> bytes(runs);
  std::vector<std::size_t> ends(n);
  ParallelFor(
      runs,
      [&](std::size_t run) {
        const std::size_t from = run * kRun, to = std::min(n, from + kRun);
        for (std::size_t i = from; i < to; ++i) {
          bytes[run] += collator.SortKey(textOf(i), true);
          ends[i] = bytes[run].size();
        }
      },
      ParallelWork::Batches);
  std::vector<std::string_view> keys(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t start = i % kRun == 0 ? 0 : ends[i - 1];
    keys[i] = std::string_view(bytes[i / kRun]).substr(start, ends[i] - start);
  }
  return RanksOf(keys);
}

// Looks texts up by view, without copying them.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

// The same for a column whose texts repeat (a publisher's name on each of its programs): each
// distinct text's key is made once. Where the first texts are mostly distinct, every key is made
// as above, which is cheaper than telling them apart.
template <typename TextOf>
std::vector<std::uint32_t> RepeatedTextRanks(std::size_t n, const TextOf& textOf) {
  constexpr std::size_t kProbe = 1024;
  std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> ids;
  std::vector<const std::string*> distinct;
  std::vector<std::uint32_t> idOf(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (i == kProbe && distinct.size() > kProbe / 2) return TextRanks(n, textOf);
    const std::string& text = textOf(i);
    auto it = ids.find(std::string_view(text));
    if (it == ids.end()) {
      it = ids.emplace(text, static_cast<std::uint32_t>(distinct.size())).first;
      distinct.push_back(&it->first);
    }
    idOf[i] = it->second;
  }
  const std::vector<std::uint32_t> ranks =
      TextRanks(distinct.size(), [&](std::size_t k) -> const std::string& { return *distinct[k]; });
  std::vector<std::uint32_t> result(n);
  for (std::size_t i = 0; i < n; ++i) result[i] = ranks[idOf[i]];
  return result;
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
    std::vector<bool> known(n);
    for (std::size_t i = 0; i < n; ++i) {
      const auto number = SortKeyNumber(items_[i]->UninstallInfo, sortKey);
      known[i] = number.has_value();
      keys[i] = number.value_or(0);
    }
    std::vector<std::uint32_t> ranks = RanksOf(keys);
    // What is not known comes after what is, whichever way the list is sorted: the last rank
    // ascending, the first descending.
    std::uint32_t top = 0;
    for (std::size_t i = 0; i < n; ++i)
      if (known[i]) top = std::max(top, ranks[i]);
    for (std::size_t i = 0; i < n; ++i)
      ranks[i] = known[i] ? ranks[i] + (SortAscending ? 0 : 1) : (SortAscending ? top + 1 : 0);
    SelectionOrder(ranks, SortAscending);
    return;
  }
  std::string made;
  if (!SortKeyText(TUninstallInfo{}, sortKey, made)) return;  // unknown key: everything equal
  const auto textOf = [&](std::size_t i) -> const std::string& {
    thread_local std::string text;  // a text made for the key
    return *SortKeyText(items_[i]->UninstallInfo, sortKey, text);
  };
  // Names are nearly all distinct; other columns often repeat.
  SelectionOrder(
      sortKey == SortKey::DisplayName ? TextRanks(n, textOf) : RepeatedTextRanks(n, textOf),
      SortAscending);
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
