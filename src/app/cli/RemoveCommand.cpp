// remove: deletes programs' Uninstall and usage-record keys without running their uninstallers.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/EntryList.h"
#include "inventory/UninstallEngine.h"
#include "inventory/UninstallPlaces.h"
#include "registry/QV_Registry.h"

namespace pgl::cli {

namespace {

// What remove would do, changing nothing: the keys it would delete, or why it could not.
int DryRun(ManagedSystem& system, const std::vector<TUninstallInfo>& entries,
           std::optional<OutputFormat> format) {
  const std::string why = system.registry->WhyUnchangeable(Language::English);
  std::vector<OutcomeRecord> outcomes;
  for (const auto& entry : entries) {
    OutcomeRecord record = Outcome(
        system, entry, why.empty() ? EntryOutcome::Removed : EntryOutcome::NotRemoved, 0, why);
    record.dryRun = true;
    if (format) {
      outcomes.push_back(std::move(record));
      continue;
    }
    if (!why.empty()) {
      Out("Would not remove: " + Safe(entry.DisplayName.str()) + ": " + Safe(why) + "\n");
      continue;
    }
    const RootKey root = PlaceOf(entry.View).root;
    for (const std::string& path : {UninstallKeyPath(entry.View, EntrySubkey(entry)),
                                    ARPCacheKeyPath(entry.View, EntrySubkey(entry))})
      if (RegKeyExists(*system.registry, root, path))
        Out("Would delete: " +
            Safe(std::string(root == kHkeyCurrentUser ? "HKCU\\" : "HKLM\\") + path) + " (" +
            Safe(entry.DisplayName.str()) + ")\n");
  }
  if (format) Out(FormatOutcomes(outcomes, *format));
  return why.empty() ? 0 : 1;
}

int Remove(ManagedSystem& system, const std::vector<std::string>& keys, bool yes, bool dryRun,
           std::optional<OutputFormat> format) {
  TUninstallCollection collection(*system.registry, *system.platform);
  ReportUnreadable(collection.ReadUninstallEntries());
  std::vector<TUninstallInfo> entries;
  int exitCode = 0;
  if (!ResolveKeys(collection, keys, entries, exitCode)) return exitCode;
  if (dryRun) return DryRun(system, entries, format);
  if (!Confirm("Remove these programs from the list (their uninstallers are not run)?", entries,
               yes))
    return 1;
  const auto failures = RemoveEntries(*system.registry, entries);
  std::vector<OutcomeRecord> outcomes;
  for (const auto& entry : entries) {
    const RemoveFailure* failure = nullptr;
    const std::string key = RegistryKeyOf(entry);
    for (const auto& f : failures)
      if (f.registryKey == key) failure = &f;
    if (format)
      outcomes.push_back(Outcome(system, entry,
                                 failure ? EntryOutcome::NotRemoved : EntryOutcome::Removed, 0,
                                 failure ? failure->reason : std::string()));
    else if (failure)
      std::fprintf(stderr, "Not removed: %s (%s): %s\n", Safe(failure->displayName).c_str(),
                   Safe(failure->registryKey).c_str(), Safe(failure->reason).c_str());
    else
      Out("Removed: " + Safe(entry.DisplayName.str()) + " (" + Safe(RegistryKeyOf(entry)) + ")\n");
  }
  if (format) Out(FormatOutcomes(outcomes, *format));
  return failures.empty() ? 0 : 1;
}

class RemoveCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "remove",
        "delete the programs' Uninstall and usage-record keys without running their "
        "uninstallers; fails when any stays");
    command->add_option("KEY", keys_, "a key name, or the key as \"list\" prints it")->required();
    command->add_flag("-y,--yes", yes_, "do not ask for confirmation on a terminal");
    command->add_flag("--dry-run", dryRun_,
                      "say which keys would be deleted, and change nothing (no question asked)");
    AddFormatOption(command, format_,
                    "what became of each program as a table (tsv, csv) or JSON, in place of the "
                    "lines for people");
    return command;
  }
  int Run(ManagedSystem* system) override {
    std::optional<OutputFormat> format;
    if (!format_.empty()) format = FormatNamed(format_);
    return Remove(*system, keys_, yes_, dryRun_, format);
  }

 private:
  std::vector<std::string> keys_;
  std::string format_;
  bool yes_ = false, dryRun_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeRemoveCommand() {
  return std::make_unique<RemoveCommand>();
}

}  // namespace pgl::cli
