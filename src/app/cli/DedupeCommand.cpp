// prefixes --duplicates: what the prefixes' identical files take twice; dedupe: those files
// shared by the file system (never hard links, never a copy and rename).
#include <cstdio>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/MachineOutput.h"
#include "leftovers/PrefixRemoval.h"
#include "platform/Console.h"
#include "platform/SharedFiles.h"

namespace pgl::cli {

namespace {

// The prefixes named (each must be one "prefixes" finds), or every prefix found.
bool ChoosePrefixes(const std::vector<std::string>& paths, std::vector<KnownSystem>& chosen) {
  std::vector<std::string> notes;
  const std::vector<KnownSystem> known = KnownSystems(notes);
  for (const auto& note : notes) Note("skipped " + note);
  if (paths.empty()) {
    chosen = known;
    return true;
  }
  for (const std::string& path : paths) {
    const KnownSystem* found = FindKnownPrefix(known, path);
    if (!found) {
      Fail(Safe(path) + " is not a prefix that \"prefixes\" finds");
      return false;
    }
    chosen.push_back(*found);
  }
  return true;
}

std::vector<std::string> PathsOf(const std::vector<KnownSystem>& prefixes) {
  std::vector<std::string> paths;
  for (const KnownSystem& p : prefixes) paths.push_back(p.path);
  return paths;
}

std::vector<DuplicateRecord> RecordsOf(const DuplicateReport& report) {
  std::vector<DuplicateRecord> records;
  for (const DuplicatesOfPrefix& p : report.prefixes)
    records.push_back({p.path, p.duplicateBytes, p.sharedBytes});
  return records;
}

void NoteUnreadable(const DuplicateReport& report) {
  for (const std::string& what : report.unreadable)
    Note("could not read " + what + ": it is not counted");
}

int Dedupe(const std::vector<std::string>& paths, bool yes, bool dryRun) {
  std::vector<KnownSystem> prefixes;
  if (!ChoosePrefixes(paths, prefixes)) return 1;
  if (prefixes.empty()) return Fail("no prefix to share files between");
  const std::vector<std::string> dirs = PathsOf(prefixes);
  if (const std::string why = WhySharingIsImpossible(dirs); !why.empty())
    return Fail("nothing shared: " + Safe(why));
  for (const KnownSystem& p : prefixes)
    if (KnownSystemInUse(p))
      return Fail("nothing shared: Wine runs in " + Safe(p.path) +
                  "; close its programs or wait with wineserver -w");
  const DuplicateReport report = FindDuplicates(dirs);
  NoteUnreadable(report);
  const std::uint64_t toShare = report.totalDuplicateBytes - report.totalSharedBytes;
  std::size_t copies = 0;
  for (const DuplicateSet& set : report.sets) copies += set.files.size() - 1;
  Out(std::string(dryRun ? "Would share " : "To share: ") + std::to_string(copies) + " copies of " +
      std::to_string(report.sets.size()) + " files, " + Megabytes(report.totalDuplicateBytes) +
      " (" + Megabytes(report.totalSharedBytes) + " of it shared already)\n");
  if (dryRun || report.sets.empty()) return 0;
  if (!yes) {
    if (!InputIsTerminal())
      return Fail("sharing files needs --yes when no one is there to be asked");
    if (!Agreed("Share them? Each file keeps its content, times and inode.")) return 1;
  }
  std::fflush(stdout);  // what is shared is said before the progress
  std::size_t lastTold = 0;
  const SharingResult result = ShareDuplicates(report.sets, [&](std::size_t done, std::size_t all) {
    // A line every tenth of the way.
    if (done * 10 / all != lastTold * 10 / all || done == all)
      std::fprintf(stderr, "shared %zu of %zu files\n", done, all);
    lastTold = done;
  });
  if (result.unsupported)
    return Fail("nothing shared: the file system does not share the contents of files");
  for (const std::string& failure : result.failures) Note("not shared: " + Safe(failure));
  Out("Shared " + Megabytes(result.sharedBytes) + " in " + std::to_string(result.filesShared) +
      " files (" + Megabytes(toShare) + " were not shared before)\n");
  return result.failures.empty() ? 0 : 1;
}

class DedupeCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "dedupe",
        "share the identical files of prefixes (DLLs, fonts, runtimes) through the file system "
        "(btrfs, XFS, bcachefs): the kernel shares bytes only where they are equal, and a later "
        "write to either file gets its own copy. Never hard links. Refused on other file systems "
        "and while Wine runs in a prefix concerned. Files under drive_c/users and the registry "
        "files are left alone");
    command->add_option("PATH", paths_, "a prefix's folder (default: every prefix found)");
    command->add_flag("-y,--yes", yes_, "do not ask (needed where no one can be asked)");
    command->add_flag("--dry-run", dryRun_, "say what would be shared, and change nothing");
    return command;
  }
  Needs What() const override { return Needs::Nothing; }
  int Run(ManagedSystem*) override { return Dedupe(paths_, yes_, dryRun_); }

 private:
  std::vector<std::string> paths_;
  bool yes_ = false, dryRun_ = false;
};

}  // namespace

int PrefixDuplicates(const std::vector<std::string>& paths, OutputFormat format) {
  std::vector<KnownSystem> prefixes;
  if (!ChoosePrefixes(paths, prefixes)) return 1;
  const DuplicateReport report = FindDuplicates(PathsOf(prefixes));
  NoteUnreadable(report);
  Out(FormatPrefixDuplicates(RecordsOf(report), report.totalDuplicateBytes, report.totalSharedBytes,
                             format));
  return 0;
}

std::unique_ptr<Command> MakeDedupeCommand() {
  return std::make_unique<DedupeCommand>();
}

}  // namespace pgl::cli
