#include "inventory/SystemSet.h"

#include <map>

#include "inventory/UninstallEngine.h"

namespace pgl {

void SystemSet::Reset() {
  if (!parts_.empty()) {
    const TUninstallCollection& shown = Shown();
    order_ = {shown.SystemComponentsVisible, shown.SortAscending, shown.CurrentSort};
  }
  // The collections refer to the systems' registries: they go first.
  combined_.reset();
  parts_.clear();
  owned_.clear();
  all_ = false;
}

void SystemSet::AddPart(ManagedSystem& system) {
  // One system's list has no prefix to sort by: it is sorted by name again.
  if (!all_ && order_.currentSort == SortKey::Prefix) order_.currentSort = SortKey::DisplayName;
  auto collection = std::make_unique<TUninstallCollection>(*system.registry, *system.platform);
  collection->SystemComponentsVisible = order_.systemComponentsVisible;
  collection->SortAscending = order_.sortAscending;
  collection->CurrentSort = order_.currentSort;
  parts_.push_back({&system, std::move(collection)});
}

void SystemSet::ShowOne(ManagedSystem& system) {
  Reset();
  AddPart(system);
}

void SystemSet::ShowOne(std::unique_ptr<ManagedSystem> system) {
  ManagedSystem& shown = *system;
  Reset();
  owned_.push_back(std::move(system));
  AddPart(shown);
}

void SystemSet::ShowAll(std::vector<std::unique_ptr<ManagedSystem>> systems) {
  Reset();
  all_ = true;
  owned_ = std::move(systems);
  for (auto& system : owned_) AddPart(*system);
  // The combined collection reads nothing itself: any system's registry will do for it.
  if (!parts_.empty()) {
    combined_ = std::make_unique<TUninstallCollection>(*parts_[0].system->registry,
                                                       *parts_[0].system->platform);
    combined_->SystemComponentsVisible = order_.systemComponentsVisible;
    combined_->SortAscending = order_.sortAscending;
    combined_->CurrentSort = order_.currentSort;
  }
}

void SystemSet::Scan(bool readNames, bool icons, bool uninstallers) {
  for (Part& part : parts_) {
    if (all_) part.collection->SystemComponentsVisible = combined_->SystemComponentsVisible;
    if (readNames) part.collection->ReadKeyNames();
    part.collection->FindIconFiles = icons || all_;
    part.collection->CheckUninstallers = uninstallers || all_;
    part.collection->ScanSorted();
    part.collection->FindIconFiles = true;
    part.collection->CheckUninstallers = true;
  }
  if (all_) Combine();
}

void SystemSet::FindFiles() {
  if (all_) return;
  FindUninstallers();
  for (Part& part : parts_) part.collection->ResolveIcons();
}

void SystemSet::FindUninstallers() {
  for (Part& part : parts_) part.collection->FindUninstallers();
}

bool SystemSet::Refresh() {
  bool changed = false;
  for (Part& part : parts_) changed = part.system->registry->Refresh() || changed;
  return changed;
}

int SystemSet::Prune() {
  int dropped = 0;
  for (Part& part : parts_) dropped += PruneNonExisting(*part.collection);
  if (all_ && dropped > 0) Combine();
  return dropped;
}

void SystemSet::Combine() {
  combined_->Clear();
  for (std::size_t p = 0; p < parts_.size(); ++p) {
    const TUninstallCollection& from = *parts_[p].collection;
    const std::string& name = parts_[p].system->name;
    for (int i = 0; i < from.Count(); ++i) {
      TUninstallInfo& info = combined_->AddItem().UninstallInfo;
      info = from.GetItem(i).UninstallInfo;
      info.PrefixName = std::string_view(name.empty() ? parts_[p].system->prefixDir : name);
      info.SystemIndex = static_cast<int>(p);
    }
  }
  combined_->UpdateCounts();
  combined_->SortByName();
  combined_->SortItems(combined_->CurrentSort);
}

std::vector<std::pair<int, std::vector<TUninstallInfo>>> SystemSet::BySystem(
    const std::vector<TUninstallInfo>& entries) const {
  std::map<int, std::vector<TUninstallInfo>> groups;
  for (const TUninstallInfo& entry : entries) groups[IndexOf(entry)].push_back(entry);
  return {groups.begin(), groups.end()};
}

std::vector<std::pair<int, std::vector<TUninstallInfo>>> SystemSet::InRuns(
    const std::vector<TUninstallInfo>& entries) const {
  std::vector<std::pair<int, std::vector<TUninstallInfo>>> runs;
  for (const TUninstallInfo& entry : entries) {
    const int index = IndexOf(entry);
    if (runs.empty() || runs.back().first != index) runs.push_back({index, {}});
    runs.back().second.push_back(entry);
  }
  return runs;
}

}  // namespace pgl
