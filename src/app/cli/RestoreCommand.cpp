// restore: puts back the programs a registry script holds.
#include <string>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/Restore.h"
#include "platform/Console.h"
#include "util/CodePage.h"
#include "util/FileIO.h"

namespace pgl::cli {

namespace {

// Puts back the keys of the programs a registry script holds (a backup): the plan first, a
// line per entry, then, unless --dry-run, everything in one save per registry file. Fails when
// the file is no script, when anything in it was refused, or when nothing could be written.
int Restore(ManagedSystem& system, const std::string& file, bool dryRun, bool yes, bool polish) {
  std::string bytes, error;
  if (!ReadWholeFile(file, bytes, error, kMaxScriptBytes + 1)) return Fail(file + ": " + error);
  RestorePlan plan;
  if (!PlanRestore(*system.registry, bytes, UserAnsiCodePage(), plan, error,
                   IsOurLeftoversExport(LeftoversFolder(), bytes)))
    return Fail(file + ": " + error);
  bytes = {};
  for (const auto& item : plan.items)
    Out(RestoreKindText(item.kind, polish) + ": " + Safe(RestoreItemLine(item, polish)) + "\n");
  if (plan.refusedNotListed > 0)
    Out(RestoreKindText(RestoreKind::Refused, polish) + ": " +
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
  if (!yes && InputIsTerminal() && !Agreed("Write the keys above into the registry?")) return 1;
  if (!ApplyRestore(*system.registry, plan, polish, error))
    return Fail((polish ? "nic nie przywrócono: " : "nothing was restored: ") + error);
  const std::size_t count = plan.Count(RestoreKind::AddBack) + plan.Count(RestoreKind::Replace);
  Out((polish ? "Przywrócono programów: " + std::to_string(count) + " z "
              : "Restored " + std::to_string(count) + " programs from ") +
      Safe(file) + "\n");
  return exitCode;
}

class RestoreCommand : public Command {
 public:
  CLI::App* Define(CLI::App& app) override {
    auto* command = app.add_subcommand(
        "restore",
        "put back the programs a registry script holds (a backup of ours, or regedit's export "
        "of Uninstall keys): only keys of the Uninstall places and their usage records, each "
        "other key refused; says first what it would do, then writes it all in one save; fails "
        "when anything was refused");
    command->add_option("FILE", file_, "the registry script (.reg)")->required();
    command->add_flag("--dry-run", dryRun_, "only say what it would do");
    command->add_flag("-y,--yes", yes_, "do not ask for confirmation on a terminal");
    command->add_flag("--polish", polish_, "texts in Polish");
    return command;
  }
  int Run(ManagedSystem* system) override {
    return Restore(*system, file_, dryRun_, yes_, polish_);
  }

 private:
  std::string file_;
  bool dryRun_ = false, yes_ = false, polish_ = false;
};

}  // namespace

std::unique_ptr<Command> MakeRestoreCommand() {
  return std::make_unique<RestoreCommand>();
}

}  // namespace pgl::cli
