// The commands that read: prefixes, list, report and backup.
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/EntryList.h"
#include "inventory/MachineOutput.h"
#include "inventory/Report.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/RegistrySaves.h"
#include "registry/RegExport.h"
#include "util/CodePage.h"
#include "util/FileIO.h"

namespace pgl::cli {

namespace {

struct ListOptions {
  bool systemComponents = false;
  bool noInvalid = false;
  bool onlyInvalid = false;
  bool polish = false;
  Language Lang() const { return LanguageOf(polish); }
  ListFilter Filter() const {
    ListFilter filter;
    filter.showInvalid = !noInvalid;
    filter.showOnlyInvalid = onlyInvalid;
    return filter;
  }
  // Whether the entries' uninstallers must be looked for: each is a file look-up or more, most
  // of a long list's time, for nothing where neither the filter nor the output tells validity.
  bool NeedsUninstallers(std::optional<OutputFormat> format) const {
    return noInvalid || onlyInvalid || (format && FormatShowsValidity(*format));
  }
};

void AddFilters(CLI::App* command, ListOptions& options) {
  command->add_flag("--system-components", options.systemComponents,
                    "show system components too (hidden by default)");
  auto* noInvalid = command->add_flag("--no-invalid", options.noInvalid,
                                      "hide entries whose uninstaller is gone");
  command->add_flag("--only-invalid", options.onlyInvalid, "show only those entries")
      ->excludes(noInvalid);
}

// The list as the window shows it at start: scanned, sorted by name, then by the default key.
std::vector<ListRow> ScanAndList(ManagedSystem& system, const ListOptions& options) {
  TUninstallCollection collection(*system.registry, *system.platform);
  collection.SystemComponentsVisible = options.systemComponents;
  collection.FindIconFiles = false;
  collection.CheckUninstallers = options.NeedsUninstallers(std::nullopt);
  ReportUnreadable(collection.ScanSorted());
  return BuildListRows(collection, options.Filter(), options.Lang());
}

int List(ManagedSystem& system, const ListOptions& options, OutputFormat format) {
  auto collection = std::make_unique<TUninstallCollection>(*system.registry, *system.platform);
  collection->SystemComponentsVisible = options.systemComponents;
  collection->FindIconFiles = false;
  collection->CheckUninstallers = options.NeedsUninstallers(format);
  ReportUnreadable(collection->ReadUninstallEntries());
  collection->SortAsListed();
  WriteProgramList(*collection, options.Filter(), options.Lang(), format, Out);
  KeepUntilExit(std::move(collection));
  KeepUntilExit(std::move(system.registry));
  return 0;
}

// The programs of every prefix found, in one list with the prefix's name before the key. A
// prefix that cannot be read is named on the error stream; the others are listed all the same.
int ListAllPrefixes(const ListOptions& options, OutputFormat format) {
  std::vector<std::string> notes;
  const auto systems = KnownSystems(notes);
  for (const auto& note : notes) Note("skipped " + note);
  std::vector<std::unique_ptr<ManagedSystem>> opened;
  std::vector<std::unique_ptr<TUninstallCollection>> collections;
  std::vector<PrefixPrograms> lists;
  int exitCode = 0;
  for (const KnownSystem& known : systems) {
    std::string error;
    auto system = OpenManagedSystemAt(known.path, error);
    if (!system) {
      Note(known.name + ": " + error);
      exitCode = 1;
      continue;
    }
    for (const auto& problem : system->problems) Note(known.name + ": " + problem);
    auto collection = std::make_unique<TUninstallCollection>(*system->registry, *system->platform);
    collection->SystemComponentsVisible = options.systemComponents;
    collection->FindIconFiles = false;
    collection->CheckUninstallers = options.NeedsUninstallers(format);
    ReportUnreadable(collection->ScanSorted());
    lists.push_back({known.name, known.path, collection.get(),
                     BuildListRows(*collection, options.Filter(), options.Lang())});
    opened.push_back(std::move(system));
    collections.push_back(std::move(collection));
  }
  Out(FormatProgramsOfPrefixes(lists, format));
  return exitCode;
}

int Report(ManagedSystem& system, const ListOptions& options, const std::string& file) {
  std::vector<std::string> captions;
  for (const auto& column : ListColumns())
    captions.push_back(ColumnCaption(column, options.Lang()));
  std::vector<std::vector<std::string>> rows;
  for (auto& row : ScanAndList(system, options))
    rows.emplace_back(row.cells.begin(), row.cells.end());
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string html = BuildReport(captions, rows, options.Lang(), local);
  std::string error;
  if (!WriteFileAtomic(file, html, error)) return Fail(error);
  Out("Report of " + std::to_string(rows.size()) + " programs written to " + Safe(file) + "\n");
  return 0;
}

int Backup(ManagedSystem& system, const std::string& file) {
  // A backup of what could be read of a cut file would pass for a whole one.
  if (!system.problems.empty())
    return Fail("no backup was written: the registry could not be read whole.");
  const int codePage = UserAnsiCodePage();
  const auto keys = BackupKeys(*system.registry);
  try {
    RegExportResult result;
    if (file == "-") {
      result = BuildRegistryExport(*system.registry, keys, codePage);
      Out(result.bytes);
    } else {
      result = ExportRegistryKeys(*system.registry, keys, file, codePage);
    }
    if (result.form == RegScriptForm::Unicode)
      Note("some names or values cannot be written exactly as REGEDIT4 in code page " +
           std::to_string(codePage) +
           "; the backup was written as a Unicode registry script instead, which keeps them.");
    for (const auto& what : result.leftOut) Note("left out of the backup: " + what);
    for (const auto& what : result.notExact) Note("not restored exactly: " + what);
  } catch (const ERegistryExportError& e) {
    return Fail(e.what());
  }
  if (file != "-") {
    std::string names;
    for (const auto& key : keys)
      names += std::string(names.empty() ? "" : ", ") +
               (key.root == kHkeyCurrentUser ? "HKCU\\" : "HKLM\\") + key.path;
    Out("Backup of " + Safe(names) + " written to " + Safe(file) + "\n");
  }
  return 0;
}

// The systems pgl-cli can work on, a line each: name, source, architecture, number of
// programs, path, owner and its state, the folder removal would move; with `sizes` what each
// takes on disk, its saves and its last use.
int Prefixes(OutputFormat format, bool sizes) {
  std::vector<std::string> notes;
  const auto systems = KnownSystems(notes);
  for (const auto& note : notes) Note("skipped " + note);
  std::vector<PrefixRecord> records;
  bool savesWhole = true;
  for (const KnownSystem& s : systems) {
    std::optional<std::size_t> programs;
    if (const auto registry = OpenKnownRegistry(s)) programs = CountListedPrograms(*registry);
    PrefixRecord record{s.name,   s.source, s.arch,  s.path,
                        programs, s.folder, s.owner, OwnerStateName(s.ownerState)};
    record.shaderCache = s.shaderCache;
    record.cloudSaves = CloudSavesName(s.cloudSaves);
    if (const auto usage = sizes ? MeasureWithRegistrySaves(s) : std::nullopt) {
      for (const std::string& folder : usage->unreadable)
        Note("could not read " + folder + ": its size is not counted");
      // Saves that cannot be read are saves that no archive would keep: a failure.
      for (const std::string& folder : usage->savesUnread)
        Note("could not read " + folder + ": it may hold saves, which are not counted; " +
             "remove-prefix keeps this prefix until it can be read");
      savesWhole = savesWhole && usage->savesUnread.empty();
      PrefixSizes measured{
          usage->sizeBytes, usage->savesBytes, {}, usage->lastUsed, usage->shaderCacheBytes};
      for (const SaveFolder& save : usage->saveFolders)
        measured.saveFolders.emplace_back(save.path, save.bytes);
      record.sizes = std::move(measured);
    }
    records.push_back(std::move(record));
  }
  Out(FormatPrefixes(records, format));
  return savesWhole ? 0 : 1;
}

class PrefixesCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "prefixes",
        "the Wine prefixes found in your home (WINEPREFIX, ~/.wine, Steam, Bottles, Lutris, "
        "Heroic, PlayOnLinux; native and Flatpak), a line each: name, source, architecture, "
        "number of programs, path, owner (the game, bottle or program set) and whether it is "
        "still there, the folder removing it would move");
    AddFormatOption(command, format_, "tsv (default), csv or json");
    command->add_flag("--duplicates", duplicates_,
                      "instead, what sharing their identical files would free (see dedupe): per "
                      "prefix the bytes of its copies of files held before, and the part of "
                      "them shared already");
    command->add_option("PATH", paths_, "with --duplicates: the prefixes (default: every one)");
    command->add_flag("--sizes", sizes_,
                      "also the disk each prefix's folder takes (as du -s -B1 counts it), its "
                      "saves (what programs wrote in its profiles) and their folders, and its "
                      "last use");
    return command;
  }
  Needs What() const override { return Needs::Nothing; }
  int Run(ManagedSystem*) override {
    OpenSystemsForListing(true);
    if (duplicates_) return PrefixDuplicates(paths_, FormatNamed(format_));
    if (!paths_.empty()) return Fail("prefixes takes paths with --duplicates only");
    return Prefixes(FormatNamed(format_), sizes_);
  }

 private:
  std::string format_ = "tsv";
  bool sizes_ = false, duplicates_ = false;
  std::vector<std::string> paths_;
};

class ListCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "list",
        "the installed programs, one line each: the list's 22 columns separated by tabs after a "
        "line of captions, sorted by name; the last column is the entry's registry key");
    AddFilters(command, options_);
    AddFormatOption(command, format_, "tsv (default), csv or json");
    command->add_flag("--all-prefixes", allPrefixes_,
                      "the programs of every prefix \"prefixes\" finds, with a Prefix column (the "
                      "prefix's name) before the registry key");
    return command;
  }
  Needs What() const override { return allPrefixes_ ? Needs::Nothing : Needs::ListingOnly; }
  int Run(ManagedSystem* system) override {
    if (!system) {
      OpenSystemsForListing(true);
      return ListAllPrefixes(options_, FormatNamed(format_));
    }
    return List(*system, options_, FormatNamed(format_));
  }

 private:
  ListOptions options_;
  std::string format_ = "tsv";
  bool allPrefixes_ = false;
};

class ReportCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand("report", "the same list as an HTML report (UTF-8)");
    command->add_option("FILE", file_, "the report file to write")->required();
    AddFilters(command, options_);
    command->add_flag("--polish", options_.polish, "Polish captions and texts");
    return command;
  }
  Needs What() const override { return Needs::ListingOnly; }
  int Run(ManagedSystem* system) override { return Report(*system, options_, file_); }

 private:
  ListOptions options_;
  std::string file_;
};

class BackupCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "backup",
        "write every Uninstall key (64-bit, 32-bit and per-user) as one registry script that "
        "regedit imports (\"regedit /s FILE\"; \"wine regedit /s FILE\" in a prefix)");
    command->add_option("FILE", file_, "the file to write, - for standard output")->required();
    return command;
  }
  int Run(ManagedSystem* system) override { return Backup(*system, file_); }

 private:
  std::string file_;
};

}  // namespace

std::unique_ptr<Command> MakePrefixesCommand() {
  return std::make_unique<PrefixesCommand>();
}
std::unique_ptr<Command> MakeListCommand() {
  return std::make_unique<ListCommand>();
}
std::unique_ptr<Command> MakeReportCommand() {
  return std::make_unique<ReportCommand>();
}
std::unique_ptr<Command> MakeBackupCommand() {
  return std::make_unique<BackupCommand>();
}

}  // namespace pgl::cli
