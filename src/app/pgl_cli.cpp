// pgl-cli: the program's commands without a window, for scripts and for people who manage
// many prefixes. Exit codes: 0 done, 1 failed, 2 wrong usage.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "inventory/EntryList.h"
#include "inventory/ErrorList.h"
#include "inventory/MachineOutput.h"
#include "inventory/Report.h"
#include "inventory/Restore.h"
#include "inventory/UCollection.h"
#include "inventory/UninstallEngine.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/Leftovers.h"
#include "platform/AppFiles.h"
#include "platform/Console.h"
#include "platform/ManagedSystem.h"
#include "platform/Trash.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"
#include "util/CodePage.h"
#include "util/FileIO.h"
#include "util/Utf.h"

namespace {

// Registry text and paths reach the terminal without control characters: a hostile name must
// not move the cursor, change colours or rewrite what was printed.
std::string Safe(std::string_view text) {
  return pgl::WithoutControlCharacters(text);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "pgl-cli: %s\n", Safe(message).c_str());
  return 1;
}

void Note(const std::string& message) {
  std::fprintf(stderr, "pgl-cli: %s\n", Safe(message).c_str());
}

// What a command read, kept until the process ends, which gives its memory back at once: a
// long list's entries and registry tree, freed piece by piece, took a tenth of its run. Held
// here, it stays reachable, so that leak checkers do not count it.
template <typename T>
void KeepUntilExit(std::unique_ptr<T> kept) {
  static std::unique_ptr<T>* const held = new std::unique_ptr<T>[4];
  static std::size_t count = 0;
  if (count < 4) held[count++] = std::move(kept);
}

// Standard output: every write is checked, and a failed one (a full disk, a closed pipe's
// reader gone, /dev/full) fails the command at its end, so that "backup - > f && ..." stops.
int gOutputError = 0;

void Out(std::string_view text) {
  if (text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && gOutputError == 0)
    gOutputError = errno ? errno : EIO;
}

// Flushes and closes standard output; a command that did its work but could not write all of
// what it says fails.
int FinishOutput(int exitCode) {
  if (std::fflush(stdout) != 0 && gOutputError == 0) gOutputError = errno ? errno : EIO;
  if (std::ferror(stdout) && gOutputError == 0) gOutputError = EIO;
  if (std::fclose(stdout) != 0 && gOutputError == 0) gOutputError = errno ? errno : EIO;
  if (gOutputError == 0) return exitCode;
  Fail(std::string("cannot write to standard output: ") + std::strerror(gOutputError));
  return exitCode == 0 ? 1 : exitCode;
}

struct ListOptions {
  bool systemComponents = false;
  bool noInvalid = false;
  bool onlyInvalid = false;
  bool polish = false;
  pgl::ListFilter Filter() const {
    pgl::ListFilter filter;
    filter.showInvalid = !noInvalid;
    filter.showOnlyInvalid = onlyInvalid;
    return filter;
  }
};

void ReportUnreadable(const pgl::ScanReport& report) {
  if (report.unreadableValues > 0)
    Note(std::to_string(report.unreadableValues) +
         " registry value(s) could not be read as text (the first: " + report.firstUnreadable +
         "); their fields are left empty.");
}

// The list as the window shows it at start: scanned, sorted by name, then by the default key.
std::vector<pgl::ListRow> ScanAndList(pgl::ManagedSystem& system, const ListOptions& options) {
  pgl::TUninstallCollection collection(*system.registry, *system.platform);
  collection.SystemComponentsVisible = options.systemComponents;
  collection.FindIconFiles = false;
  ReportUnreadable(collection.ScanSorted());
  return pgl::BuildListRows(collection, options.Filter(), options.polish);
}

int List(pgl::ManagedSystem& system, const ListOptions& options, pgl::OutputFormat format) {
  auto collection = std::make_unique<pgl::TUninstallCollection>(*system.registry, *system.platform);
  collection->SystemComponentsVisible = options.systemComponents;
  collection->FindIconFiles = false;
  ReportUnreadable(collection->ReadUninstallEntries());
  collection->SortAsListed();
  pgl::WriteProgramList(*collection, options.Filter(), options.polish, format, Out);
  KeepUntilExit(std::move(collection));
  KeepUntilExit(std::move(system.registry));
  return 0;
}

// The programs of every prefix found, in one list with the prefix's name before the key. A
// prefix that cannot be read is named on the error stream; the others are listed all the same.
int ListAllPrefixes(const ListOptions& options, pgl::OutputFormat format) {
  std::vector<std::string> notes;
  const auto systems = pgl::KnownSystems(notes);
  for (const auto& note : notes) Note("skipped " + note);
  std::vector<std::unique_ptr<pgl::ManagedSystem>> opened;
  std::vector<std::unique_ptr<pgl::TUninstallCollection>> collections;
  std::vector<pgl::PrefixPrograms> lists;
  int exitCode = 0;
  for (const pgl::KnownSystem& known : systems) {
    std::string error;
    auto system = pgl::OpenManagedSystemAt(known.path, error);
    if (!system) {
      Note(known.name + ": " + error);
      exitCode = 1;
      continue;
    }
    for (const auto& problem : system->problems) Note(known.name + ": " + problem);
    auto collection =
        std::make_unique<pgl::TUninstallCollection>(*system->registry, *system->platform);
    collection->SystemComponentsVisible = options.systemComponents;
    collection->FindIconFiles = false;
    ReportUnreadable(collection->ScanSorted());
    lists.push_back({known.name, known.path, collection.get(),
                     pgl::BuildListRows(*collection, options.Filter(), options.polish)});
    opened.push_back(std::move(system));
    collections.push_back(std::move(collection));
  }
  Out(pgl::FormatProgramsOfPrefixes(lists, format));
  return exitCode;
}

int Report(pgl::ManagedSystem& system, const ListOptions& options, const std::string& file) {
  std::vector<std::string> captions;
  for (const auto& column : pgl::ListColumns())
    captions.push_back(pgl::ColumnCaption(column, options.polish));
  std::vector<std::vector<std::string>> rows;
  for (auto& row : ScanAndList(system, options))
    rows.emplace_back(row.cells.begin(), row.cells.end());
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string html = pgl::BuildReport(captions, rows, options.polish, local);
  std::string error;
  if (!pgl::WriteFileAtomic(file, html, error)) return Fail(error);
  Out("Report of " + std::to_string(rows.size()) + " programs written to " + Safe(file) + "\n");
  return 0;
}

int Backup(pgl::ManagedSystem& system, const std::string& file) {
  // A backup of what could be read of a cut file would pass for a whole one.
  if (!system.problems.empty())
    return Fail("no backup was written: the registry could not be read whole.");
  const int codePage = pgl::UserAnsiCodePage();
  const auto keys = pgl::BackupKeys(*system.registry);
  try {
    pgl::RegExportResult result;
    if (file == "-") {
      result = pgl::BuildRegistryExport(*system.registry, keys, codePage);
      Out(result.bytes);
    } else {
      result = pgl::ExportRegistryKeys(*system.registry, keys, file, codePage);
    }
    if (result.unicode)
      Note("some names or values cannot be written exactly as REGEDIT4 in code page " +
           std::to_string(codePage) +
           "; the backup was written as a Unicode registry script instead, which keeps them.");
    for (const auto& what : result.leftOut) Note("left out of the backup: " + what);
    for (const auto& what : result.notExact) Note("not restored exactly: " + what);
  } catch (const pgl::ERegistryExportError& e) {
    return Fail(e.what());
  }
  if (file != "-") {
    std::string names;
    for (const auto& key : keys)
      names += std::string(names.empty() ? "" : ", ") +
               (key.root == pgl::kHkeyCurrentUser ? "HKCU\\" : "HKLM\\") + key.path;
    Out("Backup of " + Safe(names) + " written to " + Safe(file) + "\n");
  }
  return 0;
}

bool SameKeyName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The entries that the arguments name, in the order given. False, after saying why, when an
// argument names no entry or a key name is found in more than one place.
bool ResolveKeys(pgl::TUninstallCollection& collection, const std::vector<std::string>& args,
                 std::vector<pgl::TUninstallInfo>& entries, int& exitCode) {
  for (const std::string& arg : args) {
    const auto ref = pgl::ParseEntryKeyText(arg);
    std::vector<const pgl::TUninstallInfo*> found;
    for (int i = 0; i < collection.Count(); ++i) {
      const pgl::TUninstallInfo& info = collection.GetItem(i).UninstallInfo;
      if (ref ? info.View == ref->view && SameKeyName(pgl::EntrySubkey(info), ref->keyName)
              : SameKeyName(pgl::EntrySubkey(info), arg))
        found.push_back(&info);
    }
    if (found.empty()) {
      Note("no installed program has the key \"" + arg + "\"; \"pgl-cli list\" shows the keys.");
      exitCode = 1;
      return false;
    }
    if (found.size() > 1) {
      Note("the key name \"" + arg + "\" is found in more than one place:");
      for (const auto* info : found)
        std::fprintf(stderr, "  %s\t%s\n", Safe(RegistryKeyOf(*info)).c_str(),
                     Safe(info->DisplayName.str()).c_str());
      std::fprintf(stderr, "Give the whole key to choose one.\n");
      exitCode = 2;
      return false;
    }
    bool duplicate = false;
    const std::string key = RegistryKeyOf(*found.front());
    for (const auto& e : entries) duplicate |= RegistryKeyOf(e) == key;
    if (!duplicate) entries.push_back(*found.front());
  }
  return true;
}

// Asks on the error stream; only "y", "Y" or "yes" agree.
bool Agreed(const std::string& question) {
  std::fprintf(stderr, "%s [y/N] ", question.c_str());
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

bool Confirm(const std::string& question, const std::vector<pgl::TUninstallInfo>& entries,
             bool yes) {
  if (yes || !pgl::InputIsTerminal()) return true;
  std::fprintf(stderr, "%s\n", question.c_str());
  for (const auto& e : entries)
    std::fprintf(stderr, "  %s\t%s\n", Safe(e.DisplayName.str()).c_str(),
                 Safe(RegistryKeyOf(e)).c_str());
  return Agreed("Continue?");
}

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
class CliObserver : public pgl::UninstallObserver {
 public:
  void UninstallerStarting(const pgl::TUninstallInfo& entry, int position, int count) override {
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

 private:
  bool told_ = false;
  bool waiting_ = false;
};

// What became of each entry, for --format: its key, name, prefix, outcome and error.
pgl::OutcomeRecord Outcome(const pgl::ManagedSystem& system, const pgl::TUninstallInfo& entry,
                           std::string outcome, std::uint32_t errorNumber = 0,
                           std::string errorText = {}) {
  return {RegistryKeyOf(entry), entry.DisplayName.str(), system.prefixDir, std::move(outcome),
          errorNumber,          std::move(errorText)};
}

const char* StepOutcome(pgl::UninstallResult result) {
  switch (result) {
    case pgl::UninstallResult::Finished:
      return "still_installed";
    case pgl::UninstallResult::MissingCommand:
      return "no_command";
    case pgl::UninstallResult::NotRunnable:
      return "not_runnable";
    case pgl::UninstallResult::StartFailed:
      return "start_failed";
    case pgl::UninstallResult::StoppedWaiting:
      return "stopped_waiting";
    case pgl::UninstallResult::RunnerFailed:
      return "runner_failed";
  }
  return "failed";
}

std::string ExportFileName() {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  // The export must not replace an earlier one: the time to the microsecond names it.
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count() %
                      1000000;
  return pgl::LeftoversFolder() + "/leftovers-" + stamp + "-" + std::to_string(micros) + ".reg";
}

// Removes the items, saying what went where; false when any stayed.
bool RemoveItems(const pgl::LeftoverScope& scope, const std::vector<pgl::Leftover>& items,
                 bool polish) {
  const std::string exportFile = ExportFileName();
  const auto failures = pgl::RemoveLeftovers(scope, items, exportFile, polish);
  bool desktopChanged = false;
  for (const auto& item : items) {
    bool failed = false;
    for (const auto& f : failures) failed = failed || f.item == item.Text();
    if (failed) continue;
    desktopChanged = desktopChanged || item.kind == pgl::LeftoverKind::DesktopFile ||
                     item.kind == pgl::LeftoverKind::MenuFile;
    Out((item.IsRegistry() ? "Deleted (saved in " + Safe(exportFile) + "): "
                           : std::string("Moved to the trash: ")) +
        Safe(item.Text()) + "\n");
  }
  for (const auto& f : failures)
    std::fprintf(stderr, "Not removed: %s: %s\n", Safe(f.item).c_str(), Safe(f.reason).c_str());
  if (desktopChanged) pgl::RefreshDesktopMenus(scope.xdg.dataHome);
  return failures.empty();
}

std::vector<pgl::Leftover> OfConfidence(const std::vector<pgl::Leftover>& items, bool all) {
  std::vector<pgl::Leftover> chosen;
  for (const auto& item : items)
    if (all || item.confidence == pgl::Confidence::Sure) chosen.push_back(item);
  return chosen;
}

int Uninstall(pgl::ManagedSystem& system, const std::vector<std::string>& keys, bool yes,
              bool polish, std::optional<pgl::OutputFormat> format, pgl::UninstallMode mode,
              bool leftovers) {
  pgl::TUninstallCollection collection(*system.registry, *system.platform);
  ReportUnreadable(collection.ReadUninstallEntries());
  std::vector<pgl::TUninstallInfo> entries;
  int exitCode = 0;
  if (!ResolveKeys(collection, keys, entries, exitCode)) return exitCode;
  if (!Confirm("Run the uninstallers of these programs?", entries, yes)) return 1;
  // What ties each program to the prefix, kept before anything runs: a batch cut short still
  // leaves the record its leftovers are found by.
  std::vector<pgl::Evidence> records;
  {
    const pgl::LeftoverScope scope = pgl::MakeLeftoverScope(system, collection);
    for (const auto& entry : entries) records.push_back(pgl::CollectEvidence(scope, entry));
    std::string error;
    if (!pgl::SaveEvidence(pgl::LeftoversFolder(), records, error))
      Note("the record for finding leftovers could not be written: " + error);
  }
  pgl::TErrorList errors(pgl::ErrorLogFileName());
  errors.OnLogFailed = [](const std::string& error) {
    Note("the error log could not be written: " + error);
  };
  pgl::UninstallEngine engine(*system.registry, *system.platform, *system.runner, errors);
  CliObserver observer;
  std::signal(SIGINT, OnInterrupt);
  const pgl::UninstallBatch batch = engine.Run(entries, polish, observer, mode);
  std::signal(SIGINT, SIG_DFL);
  if (errors.ErrorCount() > 0) {
    for (const auto& line : errors.Lines()) std::fprintf(stderr, "%s\n", Safe(line).c_str());
    errors.SaveErrorLog();
  }
  if (!batch.registrySettled)
    Note("stopped waiting for Wine to save the registry; what follows may not be final.");
  bool allGone = errors.ErrorCount() == 0;
  std::vector<pgl::OutcomeRecord> outcomes;
  for (const auto& entry : entries) {
    const bool there =
        pgl::RegKeyExists(*system.registry, pgl::PlaceOf(entry.View).root,
                          pgl::UninstallKeyPath(entry.View, pgl::EntrySubkey(entry)));
    allGone &= !there;
    if (!format) {
      Out((there ? "Still installed: " : "Uninstalled: ") + Safe(entry.DisplayName.str()) + " (" +
          Safe(RegistryKeyOf(entry)) + ")\n");
      continue;
    }
    const pgl::UninstallStep* step = nullptr;
    const std::string key = RegistryKeyOf(entry);
    for (const auto& s : batch.steps)
      if (s.registryKey == key) step = &s;
    if (!there)
      outcomes.push_back(Outcome(system, entry, "uninstalled"));
    else if (step && step->result == pgl::UninstallResult::MissingCommand &&
             mode == pgl::UninstallMode::Quiet)
      outcomes.push_back(Outcome(system, entry, "no_quiet_command"));
    else if (step)
      outcomes.push_back(Outcome(system, entry, StepOutcome(step->result), step->outcome.errorCode,
                                 step->outcome.message));
    else
      outcomes.push_back(Outcome(system, entry, "still_installed"));
  }
  if (format) Out(pgl::FormatOutcomes(outcomes, *format));
  if (leftovers) {
    // The sure leftovers of each program that is gone.
    pgl::TUninstallCollection now(*system.registry, *system.platform);
    now.ReadUninstallEntries();
    const pgl::LeftoverScope scope = pgl::MakeLeftoverScope(system, now);
    std::vector<pgl::Leftover> items;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (pgl::RegKeyExists(*system.registry, pgl::PlaceOf(entries[i].View).root,
                            pgl::UninstallKeyPath(entries[i].View, pgl::EntrySubkey(entries[i]))))
        continue;
      for (auto& item : OfConfidence(pgl::FindLeftovers(scope, records[i]), false))
        items.push_back(std::move(item));
    }
    if (!items.empty() && !RemoveItems(scope, items, polish)) allGone = false;
  }
  return allGone ? 0 : 1;
}

// The entry the argument names among those listed; null when none is (a removed entry's key).
const pgl::TUninstallInfo* ListedEntry(const pgl::TUninstallCollection& collection,
                                       const std::string& arg) {
  const auto ref = pgl::ParseEntryKeyText(arg);
  for (int i = 0; i < collection.Count(); ++i) {
    const pgl::TUninstallInfo& info = collection.GetItem(i).UninstallInfo;
    if (ref ? info.View == ref->view && SameKeyName(pgl::EntrySubkey(info), ref->keyName)
            : SameKeyName(pgl::EntrySubkey(info), arg))
      return &info;
  }
  return nullptr;
}

// What the programs left (or, for a program still listed, what it would leave): a line per item
// with its confidence and reason; --remove takes the sure ones (all with --all-confidences).
int Leftovers(pgl::ManagedSystem& system, const std::vector<std::string>& keys, bool remove,
              bool yes, bool allConfidences, pgl::OutputFormat format, bool polish) {
  pgl::TUninstallCollection collection(*system.registry, *system.platform);
  ReportUnreadable(collection.ReadUninstallEntries());
  const pgl::LeftoverScope scope = pgl::MakeLeftoverScope(system, collection);
  std::vector<pgl::Leftover> found;
  std::vector<pgl::LeftoverRecord> records;
  int exitCode = 0;
  for (const std::string& arg : keys) {
    std::optional<pgl::Evidence> evidence;
    if (const pgl::TUninstallInfo* entry = ListedEntry(collection, arg)) {
      evidence = pgl::CollectEvidence(scope, *entry);
    } else {
      std::vector<std::string> candidates;
      if (const auto ref = pgl::ParseEntryKeyText(arg))
        candidates.push_back(pgl::EntryKeyText(ref->view, ref->keyName));
      else
        for (const auto& place : pgl::UninstallPlaces())
          candidates.push_back(pgl::EntryKeyText(place.view, arg));
      for (const auto& key : candidates)
        if (!evidence)
          evidence = pgl::LatestEvidence(pgl::LeftoversFolder(), system.prefixDir, key);
    }
    if (!evidence) {
      Note("no program has the key \"" + arg +
           "\", and no uninstall of one was recorded; \"pgl-cli list\" shows the keys.");
      exitCode = 1;
      continue;
    }
    // A program still installed: what it would leave, shown and never removed.
    const bool installed = pgl::StillInstalled(scope, evidence->entryKey);
    if (installed && remove) {
      Note("\"" + evidence->displayName + "\" (" + evidence->entryKey +
           ") is still installed: its leftovers are only shown; uninstall it first to remove "
           "them.");
      exitCode = 1;
    }
    for (auto& item : pgl::FindLeftovers(scope, *evidence)) {
      records.push_back({evidence->entryKey,
                         format == pgl::OutputFormat::Tsv
                             ? pgl::ConfidenceText(item.confidence, polish)
                             : pgl::ConfidenceName(item.confidence),
                         pgl::KindName(item.kind), item.Text(),
                         polish ? item.reasonPolish : item.reason, item.size});
      if (!installed) found.push_back(std::move(item));
    }
  }
  Out(pgl::FormatLeftovers(records, format));
  if (!remove) return exitCode;
  const auto chosen = OfConfidence(found, allConfidences);
  if (chosen.empty()) {
    Note("nothing to remove" +
         std::string(allConfidences ? "."
                                    : " (only sure items are removed without --all-confidences)."));
    return exitCode;
  }
  if (!yes && pgl::InputIsTerminal() &&
      !Agreed("Move the " + std::to_string(chosen.size()) + " items above" +
              (allConfidences ? "" : " that are sure") +
              " to the trash (registry keys are saved first)?"))
    return 1;
  return RemoveItems(scope, chosen, polish) ? exitCode : 1;
}

int Remove(pgl::ManagedSystem& system, const std::vector<std::string>& keys, bool yes,
           std::optional<pgl::OutputFormat> format) {
  pgl::TUninstallCollection collection(*system.registry, *system.platform);
  ReportUnreadable(collection.ReadUninstallEntries());
  std::vector<pgl::TUninstallInfo> entries;
  int exitCode = 0;
  if (!ResolveKeys(collection, keys, entries, exitCode)) return exitCode;
  if (!Confirm("Remove these programs from the list (their uninstallers are not run)?", entries,
               yes))
    return 1;
  const auto failures = pgl::RemoveEntries(*system.registry, entries);
  std::vector<pgl::OutcomeRecord> outcomes;
  for (const auto& entry : entries) {
    const pgl::RemoveFailure* failure = nullptr;
    const std::string key = RegistryKeyOf(entry);
    for (const auto& f : failures)
      if (f.registryKey == key) failure = &f;
    if (format)
      outcomes.push_back(Outcome(system, entry, failure ? "not_removed" : "removed", 0,
                                 failure ? failure->reason : std::string()));
    else if (failure)
      std::fprintf(stderr, "Not removed: %s (%s): %s\n", Safe(failure->displayName).c_str(),
                   Safe(failure->registryKey).c_str(), Safe(failure->reason).c_str());
    else
      Out("Removed: " + Safe(entry.DisplayName.str()) + " (" + Safe(RegistryKeyOf(entry)) + ")\n");
  }
  if (format) Out(pgl::FormatOutcomes(outcomes, *format));
  return failures.empty() ? 0 : 1;
}

// Puts back the keys of the programs a registry script holds (a backup): the plan first, a
// line per entry, then, unless --dry-run, everything in one save per registry file. Fails when
// the file is no script, when anything in it was refused, or when nothing could be written.
int Restore(pgl::ManagedSystem& system, const std::string& file, bool dryRun, bool yes,
            bool polish) {
  std::string bytes, error;
  if (!pgl::ReadWholeFile(file, bytes, error, pgl::kMaxScriptBytes + 1))
    return Fail(file + ": " + error);
  pgl::RestorePlan plan;
  if (!pgl::PlanRestore(*system.registry, bytes, pgl::UserAnsiCodePage(), plan, error,
                        pgl::IsOurLeftoversExport(pgl::LeftoversFolder(), bytes)))
    return Fail(file + ": " + error);
  bytes = {};
  for (const auto& item : plan.items)
    Out(pgl::RestoreKindText(item.kind, polish) + ": " + Safe(pgl::RestoreItemLine(item, polish)) +
        "\n");
  if (plan.refusedNotListed > 0)
    Out(pgl::RestoreKindText(pgl::RestoreKind::Refused, polish) + ": " +
        std::to_string(plan.refusedNotListed) + (polish ? " kluczy więcej\n" : " more keys\n"));
  const int exitCode = plan.AnyRefused() ? 1 : 0;
  if (plan.writes.empty()) {
    Out(polish ? "Nie ma nic do przywrócenia.\n" : "Nothing to restore.\n");
    return exitCode;
  }
  if (dryRun) {
    Out(polish ? "Nic nie zapisano (--dry-run).\n" : "Nothing was written (--dry-run).\n");
    return exitCode;
  }
  if (!yes && pgl::InputIsTerminal() && !Agreed("Write the keys above into the registry?"))
    return 1;
  if (!pgl::ApplyRestore(*system.registry, plan, polish, error))
    return Fail((polish ? "nic nie przywrócono: " : "nothing was restored: ") + error);
  const std::size_t count =
      plan.Count(pgl::RestoreKind::AddBack) + plan.Count(pgl::RestoreKind::Replace);
  Out((polish ? "Przywrócono programów: " + std::to_string(count) + " z "
              : "Restored " + std::to_string(count) + " programs from ") +
      Safe(file) + "\n");
  return exitCode;
}

// Wine's menu entries, icons and file types of prefixes whose folder is gone; --remove moves
// them to the trash.
int DesktopEntries(bool remove, bool yes, pgl::OutputFormat format, bool polish) {
  pgl::LeftoverScope scope;
  scope.xdg = pgl::UserXdgFolders();
  std::vector<std::string> gone;
  const auto items = pgl::OrphanedDesktopEntries(scope.xdg, gone);
  std::vector<pgl::LeftoverRecord> records;
  for (const auto& item : items)
    records.push_back({"",
                       format == pgl::OutputFormat::Tsv
                           ? pgl::ConfidenceText(item.confidence, polish)
                           : pgl::ConfidenceName(item.confidence),
                       pgl::KindName(item.kind), item.Text(),
                       polish ? item.reasonPolish : item.reason, item.size});
  Out(pgl::FormatLeftovers(records, format));
  if (!remove || items.empty()) return 0;
  if (!yes && pgl::InputIsTerminal() &&
      !Agreed("Move these " + std::to_string(items.size()) + " items to the trash?"))
    return 1;
  return RemoveItems(scope, items, polish) ? 0 : 1;
}

// The systems pgl-cli can work on, a line each: name, source, architecture, number of
// programs, path.
int Prefixes(pgl::OutputFormat format) {
  std::vector<std::string> notes;
  const auto systems = pgl::KnownSystems(notes);
  for (const auto& note : notes) Note("skipped " + note);
  std::vector<pgl::PrefixRecord> records;
  for (const pgl::KnownSystem& s : systems) {
    std::optional<std::size_t> programs;
    if (const auto registry = pgl::OpenKnownRegistry(s)) {
      std::size_t count = 0;
      for (const auto& place : pgl::UninstallPlaces()) {
        if (!pgl::HasView(*registry, place.view)) continue;
        if (const pgl::RegKey* key =
                pgl::FindRegKey(registry->Hive(place.root), place.uninstallKey))
          count += key->SubKeys().size();
      }
      programs = count;
    }
    records.push_back({s.name, s.source, s.arch, s.path, programs});
  }
  Out(pgl::FormatPrefixes(records, format));
  return 0;
}

// The number of single-character insertions, deletions and changes between two words.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

void AddFilters(CLI::App* command, ListOptions& options) {
  command->add_flag("--system-components", options.systemComponents,
                    "show system components too (hidden by default)");
  auto* noInvalid = command->add_flag("--no-invalid", options.noInvalid,
                                      "hide entries whose uninstaller is gone");
  command->add_flag("--only-invalid", options.onlyInvalid, "show only those entries")
      ->excludes(noInvalid);
}

}  // namespace

int main(int argc, char** argv) {
  pgl::PrepareConsoleOutput();
  CLI::App app("Lists and removes the Windows programs installed " + pgl::ManagedSystemSummary() +
                   ".\nExit codes: 0 done, 1 failed, 2 wrong usage.",
               "pgl-cli");
  app.require_subcommand(1);
  app.fallthrough();  // --prefix after the command too
  std::string prefixDir;
  app.add_option("--prefix", prefixDir,
                 "the Wine prefix to work on (else WINEPREFIX, else ~/.wine); its front end's "
                 "Wine runs its uninstallers");

  auto* prefixes = app.add_subcommand(
      "prefixes",
      "the Wine prefixes found in your home (WINEPREFIX, ~/.wine, Steam, Bottles, Lutris, "
      "Heroic, PlayOnLinux; native and Flatpak), a line each: name, source, architecture, "
      "number of programs, path");
  app.set_help_all_flag("--help-all", "show the help of every command");
  // The output for scripts: tab-separated (the default), CSV or JSON (field names in the
  // README).
  std::string listFormat = "tsv", outcomeFormat;
  const auto formats = CLI::IsMember({"tsv", "csv", "json"});
  prefixes->add_option("--format", listFormat, "tsv (default), csv or json")->check(formats);

  ListOptions listOptions;
  auto* list = app.add_subcommand(
      "list",
      "the installed programs, one line each: the list's 22 columns separated by tabs after a "
      "line of captions, sorted by name; the last column is the entry's registry key");
  AddFilters(list, listOptions);
  list->add_option("--format", listFormat, "tsv (default), csv or json")->check(formats);
  bool allPrefixes = false;
  list->add_flag("--all-prefixes", allPrefixes,
                 "the programs of every prefix \"prefixes\" finds, with a Prefix column (the "
                 "prefix's name) before the registry key");

  std::string reportFile;
  auto* report = app.add_subcommand("report", "the same list as an HTML report (UTF-8)");
  report->add_option("FILE", reportFile, "the report file to write")->required();
  AddFilters(report, listOptions);
  report->add_flag("--polish", listOptions.polish, "Polish captions and texts");

  std::string backupFile;
  auto* backup = app.add_subcommand(
      "backup",
      "write every Uninstall key (64-bit, 32-bit and per-user) as one registry script that "
      "regedit imports (\"regedit /s FILE\"; \"wine regedit /s FILE\" in a prefix)");
  backup->add_option("FILE", backupFile, "the file to write, - for standard output")->required();

  std::vector<std::string> keys;
  bool yes = false, polish = false;
  auto* uninstall = app.add_subcommand(
      "uninstall",
      "run the uninstallers of the programs one after the other, each to its end, then say "
      "which are gone; fails when any failed or is still installed");
  uninstall
      ->add_option("KEY", keys, "a key name, or the key as \"list\" prints it (HKLM\\...\\Name)")
      ->required();
  uninstall->add_flag("-y,--yes", yes, "do not ask for confirmation on a terminal");
  uninstall->add_flag("--polish", polish, "error messages in Polish");
  bool quiet = false;
  uninstall->add_flag("--quiet", quiet,
                      "unattended: each program's quiet uninstall command (QuietUninstallString, "
                      "else for a Windows Installer product \"MsiExec.exe /X{GUID} /qn\"); a "
                      "program with neither is not run, and reported");
  bool leftovers = false;
  uninstall->add_flag("--leftovers", leftovers,
                      "then move what each program that is gone left for sure (its folder, "
                      "shortcuts, keys pointing into it, Wine's menu entries) to the trash, its "
                      "registry keys saved to a file first");
  uninstall
      ->add_option("--format", outcomeFormat,
                   "what became of each program as a table (tsv, csv) or JSON, in place of the "
                   "lines for people")
      ->check(formats);

  auto* remove = app.add_subcommand(
      "remove",
      "delete the programs' Uninstall and usage-record keys without running their "
      "uninstallers; fails when any stays");
  remove->add_option("KEY", keys, "a key name, or the key as \"list\" prints it")->required();
  remove->add_flag("-y,--yes", yes, "do not ask for confirmation on a terminal");
  remove
      ->add_option("--format", outcomeFormat,
                   "what became of each program as a table (tsv, csv) or JSON, in place of the "
                   "lines for people")
      ->check(formats);

  std::string restoreFile;
  bool dryRun = false;
  auto* restore = app.add_subcommand(
      "restore",
      "put back the programs a registry script holds (a backup of ours, or regedit's export of "
      "Uninstall keys): only keys of the Uninstall places and their usage records, each other "
      "key refused; says first what it would do, then writes it all in one save; fails when "
      "anything was refused");
  restore->add_option("FILE", restoreFile, "the registry script (.reg)")->required();
  restore->add_flag("--dry-run", dryRun, "only say what it would do");
  restore->add_flag("-y,--yes", yes, "do not ask for confirmation on a terminal");
  restore->add_flag("--polish", polish, "texts in Polish");

  bool removeLeftovers = false, allConfidences = false;
  auto* leftoversCommand = app.add_subcommand(
      "leftovers",
      "what the programs left behind (for a program still listed: what it would leave), a line "
      "per item: program, confidence (sure, likely, uncertain), kind, path or key, size, reason");
  leftoversCommand
      ->add_option("KEY", keys,
                   "a listed program's key, or the key of one whose uninstall was recorded")
      ->required();
  leftoversCommand->add_flag("--remove", removeLeftovers,
                             "move the sure items to the trash (registry keys are saved to a "
                             "file, then deleted)");
  leftoversCommand->add_flag("--all-confidences", allConfidences,
                             "with --remove: the likely and uncertain items too");
  leftoversCommand->add_flag("-y,--yes", yes, "do not ask for confirmation on a terminal");
  leftoversCommand->add_flag("--polish", polish, "texts in Polish");
  leftoversCommand->add_option("--format", listFormat, "tsv (default), csv or json")
      ->check(formats);

  auto* desktopEntries = app.add_subcommand(
      "desktop-entries",
      "Wine's menu entries, desktop shortcuts, icons and file types of prefixes whose folder no "
      "longer exists (a deleted bottle or game), a line each as \"leftovers\" prints them");
  desktopEntries->add_flag("--remove", removeLeftovers, "move them to the trash");
  desktopEntries->add_flag("-y,--yes", yes, "do not ask for confirmation on a terminal");
  desktopEntries->add_flag("--polish", polish, "texts in Polish");
  desktopEntries->add_option("--format", listFormat, "tsv (default), csv or json")->check(formats);

  // CLI11's texts quote the arguments: they reach the terminal filtered too.
  const auto exitWith = [&app](const CLI::Error& e) {
    std::ostringstream out, err;
    const int code = app.exit(e, out, err);
    Out(pgl::WithoutControlCharacters(out.str(), true));
    std::fputs(pgl::WithoutControlCharacters(err.str(), true).c_str(), stderr);
    return code;
  };
  // A misspelt command is named, with the nearest one (CLI11 would only say that a command is
  // required).
  {
    const std::vector<std::string> given = pgl::CommandLineArguments(argc, argv);
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
    for (std::size_t i = 1; i < given.size(); ++i) {
      const std::string& arg = given[i];
      if (arg == "--prefix") {
        ++i;
        continue;
      }
      if (arg.starts_with("-")) continue;
      if (std::find(names.begin(), names.end(), arg) != names.end()) break;
      std::string nearest;
      std::size_t best = 3;  // at most two edits away
      for (const std::string& name : names)
        if (const std::size_t d = EditDistance(arg, name); d < best) {
          best = d;
          nearest = name;
        }
      std::fprintf(stderr, "pgl-cli: unknown command \"%s\"%s\nRun with --help for the commands.\n",
                   Safe(arg).c_str(),
                   nearest.empty() ? "." : ("; did you mean \"" + nearest + "\"?").c_str());
      return FinishOutput(2);
    }
  }
  try {
    std::vector<std::string> args = pgl::CommandLineArguments(argc, argv);
    std::reverse(args.begin(), args.end());
    args.pop_back();  // the program's name
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return FinishOutput(exitWith(e));
  } catch (const CLI::CallForAllHelp& e) {
    return FinishOutput(exitWith(e));
  } catch (const CLI::ParseError& e) {
    exitWith(e);
    return FinishOutput(2);
  }

  const auto formatOf = [](const std::string& name) {
    return pgl::OutputFormatNamed(name).value_or(pgl::OutputFormat::Tsv);
  };
  std::optional<pgl::OutputFormat> resultFormat;
  if (!outcomeFormat.empty()) resultFormat = formatOf(outcomeFormat);
  // Commands that only read the list need not decode every key of a prefix.
  if (*prefixes || *list || *report) pgl::OpenSystemsForListing();
  if (*prefixes) return FinishOutput(Prefixes(formatOf(listFormat)));
  if (*desktopEntries)
    return FinishOutput(DesktopEntries(removeLeftovers, yes, formatOf(listFormat), polish));
  if (*list && allPrefixes) return FinishOutput(ListAllPrefixes(listOptions, formatOf(listFormat)));
  std::string error;
  auto system = prefixDir.empty() ? pgl::OpenManagedSystem(error)
                                  : pgl::OpenManagedSystemAt(prefixDir, error);
  if (!system) return FinishOutput(Fail(prefixDir.empty() ? error : "--prefix: " + error));
  for (const auto& problem : system->problems) Note(problem);
  if (*list) return FinishOutput(List(*system, listOptions, formatOf(listFormat)));
  if (*report) return FinishOutput(Report(*system, listOptions, reportFile));
  if (*backup) return FinishOutput(Backup(*system, backupFile));
  if (*restore) return FinishOutput(Restore(*system, restoreFile, dryRun, yes, polish));
  if (*uninstall)
    return FinishOutput(Uninstall(*system, keys, yes, polish, resultFormat,
                                  quiet ? pgl::UninstallMode::Quiet : pgl::UninstallMode::Normal,
                                  leftovers));
  if (*leftoversCommand)
    return FinishOutput(Leftovers(*system, keys, removeLeftovers, yes, allConfidences,
                                  formatOf(listFormat), polish));
  return FinishOutput(Remove(*system, keys, yes, resultFormat));
}
