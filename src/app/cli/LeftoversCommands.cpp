// leftovers and desktop-entries: what programs and deleted prefixes left, and removing it.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/MachineOutput.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/Leftovers.h"
#include "platform/AppFiles.h"
#include "platform/Console.h"

namespace pgl::cli {

namespace {

// What the programs left (or, for a program still listed, what it would leave): a line per item
// with its confidence and reason; --remove takes the sure ones (all with --all-confidences).
// A dry run's records: each item found with what would become of it; the lines for people
// name what would go.
void SayWhatWouldGo(std::vector<LeftoverRecord>& records, const std::vector<Leftover>& chosen) {
  for (LeftoverRecord& record : records) {
    const bool goes = std::any_of(chosen.begin(), chosen.end(), [&record](const Leftover& item) {
      return item.Text() == record.item;
    });
    record.outcome = goes ? "would_removed" : "would_stay";
  }
}

int Leftovers(ManagedSystem& system, const std::vector<std::string>& keys, bool remove, bool yes,
              bool allConfidences, bool dryRun, OutputFormat format, Language lang) {
  TUninstallCollection collection(*system.registry, *system.platform);
  ReportUnreadable(collection.ReadUninstallEntries());
  const LeftoverScope scope = MakeLeftoverScope(system, collection);
  std::vector<Leftover> found;
  std::vector<LeftoverRecord> records;
  int exitCode = 0;
  for (const std::string& arg : keys) {
    std::optional<Evidence> evidence;
    if (const TUninstallInfo* entry = ListedEntry(collection, arg)) {
      evidence = CollectEvidence(scope, *entry);
    } else {
      std::vector<std::string> candidates;
      if (const auto ref = ParseEntryKeyText(arg))
        candidates.push_back(EntryKeyText(ref->view, ref->keyName));
      else
        for (const auto& place : UninstallPlaces())
          candidates.push_back(EntryKeyText(place.view, arg));
      for (const auto& key : candidates)
        if (!evidence) evidence = LatestEvidence(LeftoversFolder(), system.prefixDir, key);
    }
    if (!evidence) {
      Note("no program has the key \"" + arg +
           "\", and no uninstall of one was recorded; \"pgl-cli list\" shows the keys.");
      exitCode = 1;
      continue;
    }
    // A program still installed: what it would leave, shown and never removed.
    const bool installed = StillInstalled(scope, evidence->entryKey);
    if (installed && remove) {
      Note("\"" + evidence->displayName + "\" (" + evidence->entryKey +
           ") is still installed: its leftovers are only shown; uninstall it first to remove "
           "them.");
      exitCode = 1;
    }
    for (auto& item : FindLeftovers(scope, *evidence)) {
      records.push_back(RecordOf(evidence->entryKey, item, format, lang));
      if (!installed) found.push_back(std::move(item));
    }
  }
  const auto chosen = OfConfidence(found, allConfidences);
  if (remove && dryRun) SayWhatWouldGo(records, chosen);
  Out(FormatLeftovers(records, format));
  if (!remove) return exitCode;
  if (chosen.empty()) {
    Note("nothing to remove" +
         std::string(allConfidences ? "."
                                    : " (only sure items are removed without --all-confidences)."));
    return exitCode;
  }
  if (dryRun) {
    Note(std::to_string(chosen.size()) + " items would go (files to the trash, registry keys " +
         "saved to a file first); nothing was changed.");
    return exitCode;
  }
  if (!yes && InputIsTerminal() &&
      !Agreed("Move the " + std::to_string(chosen.size()) + " items above" +
              (allConfidences ? "" : " that are sure") +
              " to the trash (registry keys are saved first)?"))
    return 1;
  return RemoveItems(scope, chosen, lang) ? exitCode : 1;
}

// Wine's menu entries, icons and file types of prefixes whose folder is gone; --remove moves
// them to the trash.
int DesktopEntries(bool remove, bool yes, bool dryRun, OutputFormat format, Language lang) {
  LeftoverScope scope;
  scope.xdg = UserXdgFolders();
  std::vector<std::string> gone;
  const auto items = OrphanedDesktopEntries(scope.xdg, gone);
  std::vector<LeftoverRecord> records;
  for (const auto& item : items) records.push_back(RecordOf("", item, format, lang));
  if (remove && dryRun) SayWhatWouldGo(records, items);
  Out(FormatLeftovers(records, format));
  if (!remove || items.empty()) return 0;
  if (dryRun) {
    Note(std::to_string(items.size()) + " items would go to the trash; nothing was changed.");
    return 0;
  }
  if (!yes && InputIsTerminal() &&
      !Agreed("Move these " + std::to_string(items.size()) + " items to the trash?"))
    return 1;
  return RemoveItems(scope, items, lang) ? 0 : 1;
}

class LeftoversCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "leftovers",
        "what the programs left behind (for a program still listed: what it would leave), a "
        "line per item: program, confidence (sure, likely, uncertain), kind, path or key, size, "
        "reason");
    command
        ->add_option("KEY", keys_,
                     "a listed program's key, or the key of one whose uninstall was recorded")
        ->required();
    command->add_flag("--remove", remove_,
                      "move the sure items to the trash (registry keys are saved to a file, then "
                      "deleted)");
    command->add_flag("--all-confidences", allConfidences_,
                      "with --remove: the likely and uncertain items too");
    command->add_flag("--dry-run", dryRun_,
                      "with --remove: say which items would go, and change nothing");
    command->add_flag("-y,--yes", yes_, "do not ask for confirmation on a terminal");
    command->add_flag("--polish", polish_, "texts in Polish");
    AddFormatOption(command, format_, "tsv (default), csv or json");
    return command;
  }
  int Run(ManagedSystem* system) override {
    return Leftovers(*system, keys_, remove_, yes_, allConfidences_, dryRun_, FormatNamed(format_),
                     LanguageOf(polish_));
  }

 private:
  std::vector<std::string> keys_;
  std::string format_ = "tsv";
  bool remove_ = false, allConfidences_ = false, yes_ = false, polish_ = false, dryRun_ = false;
};

class DesktopEntriesCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "desktop-entries",
        "Wine's menu entries, desktop shortcuts, icons and file types of prefixes whose folder "
        "no longer exists (a deleted bottle or game), a line each as \"leftovers\" prints them");
    command->add_flag("--remove", remove_, "move them to the trash");
    command->add_flag("--dry-run", dryRun_,
                      "with --remove: say which items would go, and change nothing");
    command->add_flag("-y,--yes", yes_, "do not ask for confirmation on a terminal");
    command->add_flag("--polish", polish_, "texts in Polish");
    AddFormatOption(command, format_, "tsv (default), csv or json");
    return command;
  }
  Needs What() const override { return Needs::Nothing; }
  int Run(ManagedSystem*) override {
    return DesktopEntries(remove_, yes_, dryRun_, FormatNamed(format_), LanguageOf(polish_));
  }

 private:
  std::string format_ = "tsv";
  bool remove_ = false, yes_ = false, polish_ = false, dryRun_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeLeftoversCommand() {
  return std::make_unique<LeftoversCommand>();
}
std::unique_ptr<Command> MakeDesktopEntriesCommand() {
  return std::make_unique<DesktopEntriesCommand>();
}

}  // namespace pgl::cli
