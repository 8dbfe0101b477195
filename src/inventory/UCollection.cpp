#include "inventory/UCollection.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string_view>
#include <unordered_set>

#include "registry/TRegistry.h"
#include "util/Locale.h"
#include "util/Parallel.h"

namespace pgl {

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
    if (names.empty()) continue;
    // Made only where there is something to sort: loading the user's collation costs a short
    // run (an empty prefix listed) a good part of its time.
    const TextCollator& collator = TextCollator::User();
    // A program's name is mostly in both keys: a name met before as it is spelled is left out
    // before the (costly) sort keys are made, as the run below would leave it out. The keys are
    // made on every core.
    std::unordered_set<std::string_view> met;
    met.reserve(names.size());
    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
      if (met.insert(names[i]).second) keyed.emplace_back(std::string(), i);
    ParallelFor(keyed.size(), [&](std::size_t k) {
      keyed[k].first = collator.SortKey(names[keyed[k].second], true);
    });
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

ScanReport TUninstallCollection::ScanSorted() {
  ScanReport report = ReadUninstallEntries();
  SortAsListed();
  return report;
}

}  // namespace pgl
