// The main window's leftovers: found for the programs an uninstall removed (from the records made
// before it) or for the selected entries, shown, and moved to the trash as the user ticks them.
#include <algorithm>

#include "leftovers/Leftovers.h"
#include "platform/Trash.h"
#include "ui/UiText.h"
#include "ui/main/EntryCommands.h"
#include "ui/main/MainTexts.h"
#include "ui/windows/LeftoversDialog.h"
#include "ui/windows/WindowServices.h"
#include "util/Locale.h"
#include "util/QV_Conversion.h"
#include "util/ScopedFlag.h"

namespace pgl {

namespace {}  // namespace

void EntryCommands::Leftovers(const std::vector<TUninstallInfo>& entries) {
  if (!set_ || set_->Empty() || running_ || entries.empty()) return;
  for (const auto& [index, group] : set_->BySystem(entries)) {
    const LeftoverScope scope = MakeLeftoverScope(set_->System(index), set_->Collection(index));
    std::vector<Evidence> records;
    for (const auto& entry : group) records.push_back(CollectEvidence(scope, entry));
    OfferLeftovers(index, records, true);
  }
}

void EntryCommands::DesktopEntriesOfGonePrefixes() {
  if (running_) return;
  LeftoverScope scope;
  scope.xdg = UserXdgFolders();
  std::vector<std::string> gone;
  ProgramLeftovers entries{{}, OrphanedDesktopEntries(scope.xdg, gone), {}};
  if (entries.items.empty()) {
    services_.tellUser("Purgelet", Utf8(Text(MainText::NoGonePrefixEntries, lang_)));
    return;
  }
  entries.name = Text(MainText::DeletedPrefixes, lang_);
  for (std::size_t i = 0; i < gone.size(); ++i) entries.name += (i ? ", " : "") + gone[i];
  for (const auto& item : entries.items) entries.shown.push_back(DisplayText(scope, item));
  LeftoversDialog dialog(window_, {entries}, lang_);
  if (!services_.confirmLeftovers(dialog)) return;
  const std::vector<Leftover> chosen = dialog.Chosen();
  const auto failures = RemoveLeftovers(scope, chosen, {}, lang_);
  RefreshDesktopMenus(scope.xdg.dataHome);
  TellRemoved(chosen, failures, {});
}

void EntryCommands::TellRemoved(const std::vector<Leftover>& chosen,
                                const std::vector<LeftoverFailure>& failures,
                                const std::string& exportFile) {
  if (!failures.empty()) {
    QString text = Utf8(Text(MainText::NotRemovedItems, lang_));
    for (const auto& f : failures) text += "\n" + Utf8(f.item) + ": " + Utf8(f.reason);
    services_.tellUser("Purgelet", text);
  }
  std::size_t files = 0, keys = 0;
  for (const Leftover& item : chosen) {
    const bool failed =
        std::any_of(failures.begin(), failures.end(),
                    [&](const LeftoverFailure& f) { return f.item == item.Text(); });
    if (!failed) ++(item.IsRegistry() ? keys : files);
  }
  QStringList said;
  if (files > 0) said << Utf8(Fill(Text(MainText::MovedToTrash, lang_), {std::to_string(files)}));
  if (keys > 0)
    said << Utf8(
        Fill(Text(MainText::RegistryItemsDeleted, lang_), {std::to_string(keys), exportFile}));
  if (!said.isEmpty()) emit notice(said.join("; "));
}

void EntryCommands::OfferLeftovers(int system, const std::vector<Evidence>& records,
                                   bool sayNothingFound) {
  LeftoverScope scope = MakeLeftoverScope(set_->System(system), set_->Collection(system));
  std::vector<ProgramLeftovers> programs;
  bool any = false;
  for (const Evidence& record : records) {
    ProgramLeftovers program{record.displayName.empty() ? record.entryKey : record.displayName,
                             FindLeftovers(scope, record),
                             {},
                             StillInstalled(scope, record.entryKey)};
    for (const auto& item : program.items) program.shown.push_back(DisplayText(scope, item));
    programs.push_back(std::move(program));
    any = any || !programs.back().items.empty();
  }
  if (!any) {
    if (sayNothingFound) services_.tellUser("Purgelet", Utf8(Text(MainText::NoLeftovers, lang_)));
    return;
  }
  LeftoversDialog dialog(window_, programs, lang_);
  if (!services_.confirmLeftovers(dialog)) return;
  const std::vector<Leftover> chosen = dialog.Chosen();
  if (chosen.empty()) return;
  std::vector<LeftoverFailure> failures;
  const std::string exportFile =
      LeftoversFolder() + "/leftovers_" + DateTimeFileName(".reg", LocalNow());
  {
    const ScopedFlag running(running_);
    emit runningChanged();
    failures = RemoveLeftovers(scope, chosen, exportFile, lang_);
    RefreshDesktopMenus(scope.xdg.dataHome);
  }
  emit runningChanged();
  TellRemoved(chosen, failures, exportFile);
  Refresh();
}

}  // namespace pgl
