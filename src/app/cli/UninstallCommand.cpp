// uninstall: the uninstallers one after the other, each to its end, then what became of each
// program, and with --leftovers the sure leftovers of those that are gone.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/ErrorList.h"
#include "inventory/UninstallEngine.h"
#include "inventory/UninstallPlaces.h"
#include "platform/AppFiles.h"
#include "registry/QV_Registry.h"

namespace pgl::cli {

namespace {

volatile std::sig_atomic_t gInterrupts = 0;
extern "C" void OnInterrupt(int) {
  const bool again = gInterrupts > 0;
  gInterrupts = 1;
  if (again) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}

// Progress on the standard error stream; Ctrl+C stops waiting for the running uninstaller
// (a second one ends pgl-cli).
class CliObserver : public UninstallObserver {
 public:
  void UninstallerStarting(const TUninstallInfo& entry, int position, int count) override {
    gInterrupts = 0;
    std::fprintf(stderr, "[%d/%d] Uninstalling %s (%s)...\n", position + 1, count,
                 Safe(entry.DisplayName.str()).c_str(), Safe(RegistryKeyOf(entry)).c_str());
  }
  bool StopWaiting() override { return gInterrupts > 0; }
  bool KeepWaitingForRegistry(int seconds) override {
    if (!waiting_) {
      waiting_ = true;
      gInterrupts = 0;  // a Ctrl+C meant for an uninstaller does not count here
    }
    if (seconds >= 1 && !told_) {
      told_ = true;
      std::fprintf(stderr, "Waiting for Wine to save the registry (Ctrl+C stops waiting)...\n");
    }
    return gInterrupts == 0;
  }
  // A Ctrl+C that stopped the wait for the save stops this one too.
  bool KeepWaitingForWine(int seconds) {
    if (seconds >= 1 && !toldEnd_) {
      toldEnd_ = true;
      std::fprintf(stderr,
                   "Waiting for Wine to end in this prefix before its registry keys are removed "
                   "(Ctrl+C stops waiting)...\n");
    }
    return gInterrupts == 0;
  }

 private:
  bool toldEnd_ = false;
  bool told_ = false;
  bool waiting_ = false;
};

EntryOutcome StepOutcome(UninstallResult result) {
  switch (result) {
    case UninstallResult::Finished:
      return EntryOutcome::StillInstalled;
    case UninstallResult::MissingCommand:
      return EntryOutcome::NoCommand;
    case UninstallResult::NotRunnable:
      return EntryOutcome::NotRunnable;
    case UninstallResult::StartFailed:
      return EntryOutcome::StartFailed;
    case UninstallResult::StoppedWaiting:
      return EntryOutcome::StoppedWaiting;
    case UninstallResult::RunnerFailed:
      return EntryOutcome::RunnerFailed;
  }
  return EntryOutcome::StillInstalled;
}

// What uninstall would run, changing nothing: each program's command line, or why it would not
// be run. No record for leftovers is kept and no error is logged.
int DryRun(ManagedSystem& system, const std::vector<TUninstallInfo>& entries, Language lang,
           std::optional<OutputFormat> format, UninstallMode mode) {
  TErrorList errors("");
  UninstallEngine engine(*system.registry, *system.platform, *system.runner, errors);
  std::vector<OutcomeRecord> outcomes;
  bool allRun = true;
  for (const auto& entry : entries) {
    const UninstallResult result = engine.ExpectedResult(entry, mode);
    const std::string why = engine.WhyNotRun(entry, lang, mode);
    const std::string command =
        result == UninstallResult::MissingCommand ? "" : UninstallCommandFor(entry, mode);
    allRun = allRun && result == UninstallResult::Finished;
    if (!format) {
      if (result == UninstallResult::Finished)
        Out("Would run: " + Safe(command) + "  (" + Safe(entry.DisplayName.str()) + ", " +
            Safe(RegistryKeyOf(entry)) + ")\n");
      else
        Out("Would not run: " + Safe(entry.DisplayName.str()) + ": " + Safe(why) + "\n");
      continue;
    }
    EntryOutcome outcome =
        result == UninstallResult::Finished ? EntryOutcome::Uninstalled : StepOutcome(result);
    if (result == UninstallResult::MissingCommand && mode == UninstallMode::Quiet)
      outcome = EntryOutcome::NoQuietCommand;
    OutcomeRecord record = Outcome(system, entry, outcome, 0, why);
    record.command = command;
    record.dryRun = true;
    outcomes.push_back(std::move(record));
  }
  if (format) Out(FormatOutcomes(outcomes, *format));
  return allRun ? 0 : 1;
}

int Uninstall(ManagedSystem& system, const std::vector<std::string>& keys, bool yes, Language lang,
              std::optional<OutputFormat> format, UninstallMode mode, bool leftovers, bool dryRun) {
  TUninstallCollection collection(*system.registry, *system.platform);
  ReportUnreadable(collection.ReadUninstallEntries());
  std::vector<TUninstallInfo> entries;
  int exitCode = 0;
  if (!ResolveKeys(collection, keys, entries, exitCode)) return exitCode;
  if (dryRun) return DryRun(system, entries, lang, format, mode);
  if (!Confirm("Run the uninstallers of these programs?", entries, yes)) return 1;
  // What ties each program to the prefix, kept before anything runs: a batch cut short still
  // leaves the record its leftovers are found by.
  std::vector<Evidence> records;
  {
    const LeftoverScope scope = MakeLeftoverScope(system, collection);
    for (const auto& entry : entries) records.push_back(CollectEvidence(scope, entry));
    std::string error;
    if (!SaveEvidence(LeftoversFolder(), records, error))
      Note("the record for finding leftovers could not be written: " + error);
  }
  TErrorList errors(ErrorLogFileName());
  errors.OnLogFailed = [](const std::string& error) {
    Note("the error log could not be written: " + error);
  };
  UninstallEngine engine(*system.registry, *system.platform, *system.runner, errors);
  errors.ClearErrors();
  CliObserver observer;
  std::signal(SIGINT, OnInterrupt);
  const UninstallBatch batch = engine.Run(entries, lang, observer, mode);
  std::signal(SIGINT, SIG_DFL);
  if (errors.ErrorCount() > 0) {
    for (const auto& line : errors.Lines()) std::fprintf(stderr, "%s\n", Safe(line).c_str());
    errors.SaveErrorLog();
  }
  if (!batch.registrySettled)
    Note("stopped waiting for Wine to save the registry; what follows may not be final.");
  bool allGone = errors.ErrorCount() == 0;
  std::vector<OutcomeRecord> outcomes;
  for (const auto& entry : entries) {
    const bool there = RegKeyExists(*system.registry, PlaceOf(entry.View).root,
                                    UninstallKeyPath(entry.View, EntrySubkey(entry)));
    allGone &= !there;
    if (!format) {
      Out((there ? "Still installed: " : "Uninstalled: ") + Safe(entry.DisplayName.str()) + " (" +
          Safe(RegistryKeyOf(entry)) + ")\n");
      continue;
    }
    const UninstallStep* step = nullptr;
    const std::string key = RegistryKeyOf(entry);
    for (const auto& s : batch.steps)
      if (s.registryKey == key) step = &s;
    if (!there)
      outcomes.push_back(Outcome(system, entry, EntryOutcome::Uninstalled));
    else if (step && step->result == UninstallResult::MissingCommand &&
             mode == UninstallMode::Quiet)
      outcomes.push_back(Outcome(system, entry, EntryOutcome::NoQuietCommand));
    else if (step)
      outcomes.push_back(Outcome(system, entry, StepOutcome(step->result), step->outcome.errorCode,
                                 step->outcome.message.English()));
    else
      outcomes.push_back(Outcome(system, entry, EntryOutcome::StillInstalled));
  }
  if (format) Out(FormatOutcomes(outcomes, *format));
  if (leftovers) {
    // The sure leftovers of each program that is gone.
    TUninstallCollection now(*system.registry, *system.platform);
    now.ReadUninstallEntries();
    const LeftoverScope scope = MakeLeftoverScope(system, now);
    std::vector<Leftover> items;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (RegKeyExists(*system.registry, PlaceOf(entries[i].View).root,
                       UninstallKeyPath(entries[i].View, EntrySubkey(entries[i]))))
        continue;
      for (auto& item : OfConfidence(FindLeftovers(scope, records[i]), false))
        items.push_back(std::move(item));
    }
    // Wine may still be saving, or a periodic save may have ended the wait for the registry
    // while the uninstallers' last processes ran: the keys can only be removed once it ends.
    const bool anyKey =
        std::any_of(items.begin(), items.end(), [](const Leftover& l) { return l.IsRegistry(); });
    if (anyKey) {
      std::signal(SIGINT, OnInterrupt);
      system.runner->WaitUntilRegistryWritable(
          [&observer](int seconds) { return observer.KeepWaitingForWine(seconds); });
      std::signal(SIGINT, SIG_DFL);
    }
    if (!items.empty() && !RemoveItems(scope, items, lang)) allGone = false;
  }
  return allGone ? 0 : 1;
}

class UninstallCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "uninstall",
        "run the uninstallers of the programs one after the other, each to its end, then say "
        "which are gone; fails when any failed or is still installed");
    command
        ->add_option("KEY", keys_, "a key name, or the key as \"list\" prints it (HKLM\\...\\Name)")
        ->required();
    command->add_flag("-y,--yes", yes_, "do not ask for confirmation on a terminal");
    command->add_flag("--polish", polish_, "error messages in Polish");
    command->add_flag("--quiet", quiet_,
                      "unattended: each program's quiet uninstall command (QuietUninstallString, "
                      "else for a Windows Installer product \"MsiExec.exe /X{GUID} /qn\"); a "
                      "program with neither is not run, and reported");
    command->add_flag("--leftovers", leftovers_,
                      "then move what each program that is gone left for sure (its folder, "
                      "shortcuts, keys pointing into it, Wine's menu entries) to the trash, its "
                      "registry keys saved to a file first");
    command->add_flag("--dry-run", dryRun_,
                      "say the command line each program's uninstaller would run with, or why it "
                      "would not be run, and change nothing: nothing runs, no record is kept");
    AddFormatOption(command, format_,
                    "what became of each program as a table (tsv, csv) or JSON, in place of the "
                    "lines for people");
    return command;
  }
  int Run(ManagedSystem* system) override {
    std::optional<OutputFormat> format;
    if (!format_.empty()) format = FormatNamed(format_);
    return Uninstall(*system, keys_, yes_, LanguageOf(polish_), format,
                     quiet_ ? UninstallMode::Quiet : UninstallMode::Normal, leftovers_, dryRun_);
  }

 private:
  std::vector<std::string> keys_;
  std::string format_;
  bool yes_ = false, polish_ = false, quiet_ = false, leftovers_ = false, dryRun_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeUninstallCommand() {
  return std::make_unique<UninstallCommand>();
}

}  // namespace pgl::cli
