// The systems whose programs the window shows: one prefix, or every prefix at once. Each system
// keeps its own collection, scanned from its own registry; with several, the list shows a
// combined collection whose entries name their prefix (PrefixName) and their system
// (SystemIndex), and every command on an entry goes to that entry's own system.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "inventory/UCollection.h"
#include "platform/ManagedSystem.h"

namespace pgl {

class SystemSet {
 public:
  // One system, owned by the caller (the prefix the program started on) or by the set.
  void ShowOne(ManagedSystem& system);
  void ShowOne(std::unique_ptr<ManagedSystem> system);
  // Several systems at once, each under the name a person knows it by.
  void ShowAll(std::vector<std::unique_ptr<ManagedSystem>> systems);

  bool All() const { return all_; }
  int Count() const { return static_cast<int>(parts_.size()); }
  bool Empty() const { return parts_.empty(); }
  ManagedSystem& System(int index) const {
    return *parts_.at(static_cast<std::size_t>(index)).system;
  }
  TUninstallCollection& Collection(int index) const {
    return *parts_.at(static_cast<std::size_t>(index)).collection;
  }
  // The system an entry of the shown collection lives in.
  ManagedSystem& SystemOf(const TUninstallInfo& entry) const { return System(IndexOf(entry)); }
  TUninstallCollection& CollectionOf(const TUninstallInfo& entry) const {
    return Collection(IndexOf(entry));
  }
  // The first system: the one shown, or the first of all.
  ManagedSystem& Primary() const { return System(0); }
  // The collection the list shows: the system's own, or the combined one.
  TUninstallCollection& Shown() const { return all_ ? *combined_ : Collection(0); }

  // Scans every system (with the shown collection's filter) and shows the result in the shown
  // collection's order; `readNames`: the keys' names are listed again first. `icons`: whether
  // each entry's icon file is looked for now (a look-up or more per entry), or later by
  // FindFiles; `uninstallers` the same for each entry's uninstaller (its validity).
  void Scan(bool readNames, bool icons = true, bool uninstallers = true);
  // Looks for the uninstallers and icon files the last scan left out, in place: the entries stay
  // where they are. A list of several systems is always scanned with both: nothing is done.
  void FindFiles();
  // The uninstallers alone, where the last scan left them out.
  void FindUninstallers();
  // Reads again what others changed in each system's registry; true where anything changed.
  bool Refresh();
  // Drops from each system's collection the entries whose keys are gone; answers how many.
  int Prune();
  // The entries grouped by their system, each group in the order given.
  std::vector<std::pair<int, std::vector<TUninstallInfo>>> BySystem(
      const std::vector<TUninstallInfo>& entries) const;
  // The entries in the order given, cut where the system changes: each run is acted on in its
  // own system, and the runs one after another keep the order.
  std::vector<std::pair<int, std::vector<TUninstallInfo>>> InRuns(
      const std::vector<TUninstallInfo>& entries) const;

 private:
  struct Part {
    ManagedSystem* system;
    std::unique_ptr<TUninstallCollection> collection;
  };
  int IndexOf(const TUninstallInfo& entry) const {
    return all_ && entry.SystemIndex >= 0 && entry.SystemIndex < Count() ? entry.SystemIndex : 0;
  }
  void AddPart(ManagedSystem& system);
  // Fills the combined collection from the systems' collections, in the shown order.
  void Combine();
  // Lets go of the systems shown, keeping the shown collection's filter and order for the next.
  void Reset();

  // The shown collection's filter and order, carried from one set of systems to the next.
  struct Order {
    bool systemComponentsVisible = false;
    bool sortAscending = true;
    SortKey currentSort = SortKey::DisplayName;
  } order_;
  std::vector<std::unique_ptr<ManagedSystem>> owned_;
  std::vector<Part> parts_;
  std::unique_ptr<TUninstallCollection> combined_;
  bool all_ = false;
};

}  // namespace pgl
