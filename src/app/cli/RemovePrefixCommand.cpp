// remove-prefix: moves whole prefixes that removed games and programs left to the trash, their
// saves written to an archive first.
#include <cstdio>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/MachineOutput.h"
#include "leftovers/PrefixRemoval.h"
#include "leftovers/RegistrySaves.h"
#include "platform/Console.h"

namespace pgl::cli {

namespace {

struct Chosen {
  std::string asked;                    // the path as given
  const KnownSystem* prefix = nullptr;  // null: not a prefix `prefixes` finds
  PrefixUsage usage;
};

// What the confirmation says of a prefix: name, owner and state, size, saves.
std::string Describe(const Chosen& c, bool keepSaves) {
  const KnownSystem& p = *c.prefix;
  std::string text = "  " + Safe(p.name) + "  " + Safe(p.folder.empty() ? p.path : p.folder);
  if (!p.owner.empty())
    text += "\n    owner: " + Safe(p.owner) + " (" + OwnerStateName(p.ownerState) + ")";
  text += "\n    size: " + Megabytes(c.usage.sizeBytes) +
          "; saves: " + Megabytes(c.usage.savesBytes) + " in " +
          std::to_string(c.usage.saveFolders.size()) + " folders" +
          (c.usage.saveFolders.empty() ? ""
           : keepSaves                 ? ", kept in an archive first"
                                       : ", removed with it");
  if (!p.shaderCache.empty())
    text += "\n    shader cache: " + Safe(p.shaderCache) + ", " +
            Megabytes(c.usage.shaderCacheBytes.value_or(0)) + ", moved with it";
  if (p.cloudSaves == CloudSaves::Yes) text += "\n    saves in Steam's cloud: yes";
  if (p.cloudSaves == CloudSaves::No && !c.usage.saveFolders.empty())
    text += "\n    saves in Steam's cloud: no: these saves are nowhere else";
  if (keepSaves)
    for (const std::string& folder : c.usage.savesUnread)
      text += "\n    cannot read " + Safe(folder) + ": this prefix stays until it can be read";
  return text + "\n";
}

int RemovePrefixes(const std::vector<std::string>& paths, std::string savesTo, bool noSaves,
                   bool yes, bool dryRun, std::optional<OutputFormat> format) {
  std::vector<std::string> notes;
  const std::vector<KnownSystem> known = KnownSystems(notes);
  const XdgFolders xdg = UserXdgFolders();
  if (savesTo.empty()) savesTo = xdg.documents + "/Purgelet saves";
  std::vector<Chosen> chosen;
  for (const std::string& path : paths) {
    Chosen c{path, FindKnownPrefix(known, path), {}};
    if (c.prefix)
      if (const auto usage = MeasureWithRegistrySaves(*c.prefix)) c.usage = *usage;
    chosen.push_back(std::move(c));
  }
  bool any = false;
  for (const Chosen& c : chosen) any = any || c.prefix;
  if (any && !yes && !dryRun) {
    // Whole prefixes go: never without a person's yes or a script's --yes.
    if (!InputIsTerminal())
      return Fail("removing prefixes needs --yes when no one is there to be asked");
    std::string text = "Move these prefixes to the trash";
    text += noSaves ? " (--no-saves: their saves go with them)?\n"
                    : ", their saves first written to an archive in " + Safe(savesTo) + "?\n";
    for (const Chosen& c : chosen)
      if (c.prefix) text += Describe(c, !noSaves);
    std::fputs(text.c_str(), stderr);
    if (!Agreed("Continue?")) return 1;
  }
  PrefixRemovalOptions options{savesTo, !noSaves, Language::English};
  options.dryRun = dryRun;
  // The archive goes in none of the prefixes this command removes, saves or not.
  for (const Chosen& c : chosen)
    if (c.prefix)
      options.batchFolders.push_back(c.prefix->folder.empty() ? c.prefix->path : c.prefix->folder);
  std::vector<PrefixOutcomeRecord> records;
  bool allRemoved = true;
  for (const Chosen& c : chosen) {
    PrefixOutcomeRecord record{c.asked, "", "", PrefixOutcomeName(PrefixOutcome::NotFound)};
    PrefixRemoval r;
    if (!c.prefix) {
      r.why = "not a prefix that \"prefixes\" finds";
    } else {
      const KnownSystem& prefix = *c.prefix;
      r = RemovePrefix(
          prefix, known, [&prefix] { return KnownSystemInUse(prefix); }, options, xdg);
      record = {c.prefix->folder.empty() ? c.prefix->path : c.prefix->folder,
                c.prefix->name,
                c.prefix->owner,
                PrefixOutcomeName(r.outcome),
                c.usage.sizeBytes,
                c.usage.savesBytes,
                r.archive.file};
    }
    if (c.prefix && !c.prefix->shaderCache.empty()) {
      record.shaderCache = c.prefix->shaderCache;
      record.shaderCacheBytes = c.usage.shaderCacheBytes;
      record.shaderCacheRemoved = r.shaderCacheRemoved;
      record.shaderCacheError = r.shaderCacheRemoved ? "" : r.shaderCacheWhy;
    }
    if (dryRun) record.outcome = "would_" + record.outcome;
    record.errorText = r.why;
    for (const std::string& item : r.itemsNotMoved)
      record.errorText += (record.errorText.empty() ? "" : "; ") + item;
    allRemoved = allRemoved && r.outcome == PrefixOutcome::Removed && r.itemsNotMoved.empty() &&
                 (record.shaderCache.empty() || r.shaderCacheRemoved);
    if (!format && dryRun) {
      if (r.outcome == PrefixOutcome::Removed) {
        if (!noSaves && !c.usage.saveFolders.empty())
          Out("Would write the saves of " + Safe(record.name) + " (" +
              Megabytes(c.usage.savesBytes) + " in " + std::to_string(c.usage.saveFolders.size()) +
              " folders) to an archive in " + Safe(savesTo) + "\n");
        Out("Would move to the trash: " + Safe(record.path) + " and its menu entries\n");
        if (r.shaderCacheRemoved)
          Out("Would move to the trash: its shader cache " + Safe(record.shaderCache) + "\n");
        else if (!record.shaderCache.empty())
          Out("Would leave its shader cache " + Safe(record.shaderCache) + ": " +
              Safe(r.shaderCacheWhy) + "\n");
      } else {
        Out("Would not remove: " + Safe(record.path) + ": " + Safe(r.why) + "\n");
      }
    } else if (!format) {
      if (r.outcome == PrefixOutcome::Removed) {
        if (!r.archive.file.empty())
          Out("Saves of " + Safe(record.name) + " (" + std::to_string(r.archive.files) +
              " files) written to " + Safe(r.archive.file) + "\n");
        Out("Moved to the trash: " + Safe(record.path) +
            (r.desktopItems ? " and " + std::to_string(r.desktopItems) + " of its menu items"
                            : "") +
            "\n");
        if (r.shaderCacheRemoved)
          Out("Moved to the trash: its shader cache " + Safe(record.shaderCache) + "\n");
        else if (!record.shaderCache.empty())
          std::fprintf(stderr, "Shader cache not moved: %s: %s\n", Safe(record.shaderCache).c_str(),
                       Safe(r.shaderCacheWhy).c_str());
      } else {
        std::fprintf(stderr, "Not removed: %s: %s\n", Safe(record.path).c_str(),
                     Safe(r.why).c_str());
      }
      for (const std::string& item : r.itemsNotMoved)
        std::fprintf(stderr, "Not moved: %s\n", Safe(item).c_str());
    }
    records.push_back(std::move(record));
  }
  if (format) Out(FormatPrefixOutcomes(records, *format));
  return allRemoved ? 0 : 1;
}

class RemovePrefixCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "remove-prefix",
        "move whole prefixes (a Proton game's whole compatdata folder and its shader cache) to "
        "the trash, with Wine's menu entries, icons and file types of each; their saves are "
        "first written to a "
        "tar archive and read back. Refused for a path \"prefixes\" does not find, while Wine "
        "runs in the prefix, and where its folder is the home or holds a desktop folder");
    command->add_option("PATH", paths_, "a prefix's folder, or its compatdata folder")->required();
    command->add_option("--saves-to", savesTo_,
                        "the folder for the saves' archive (default: \"Purgelet saves\" in your "
                        "documents folder)");
    command->add_flag("--no-saves", noSaves_, "do not keep the saves: they go with the prefix");
    command->add_flag("-y,--yes", yes_, "do not ask (needed where no one can be asked)");
    command->add_flag("--dry-run", dryRun_,
                      "say what would be archived and moved, and change nothing (no question "
                      "asked)");
    AddFormatOption(command, format_,
                    "what became of each prefix as a table (tsv, csv) or JSON, in place of the "
                    "lines for people");
    return command;
  }
  Needs What() const override { return Needs::Nothing; }
  int Run(ManagedSystem*) override {
    OpenSystemsForListing(true);
    std::optional<OutputFormat> format;
    if (!format_.empty()) format = FormatNamed(format_);
    return RemovePrefixes(paths_, savesTo_, noSaves_, yes_, dryRun_, format);
  }

 private:
  std::vector<std::string> paths_;
  std::string savesTo_, format_;
  bool noSaves_ = false, yes_ = false, dryRun_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeRemovePrefixCommand() {
  return std::make_unique<RemovePrefixCommand>();
}

}  // namespace pgl::cli
