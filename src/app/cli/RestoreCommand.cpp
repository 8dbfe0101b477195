// restore: puts back the programs a registry script holds.
#include <initializer_list>
#include <string>
#include <string_view>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "inventory/Restore.h"
#include "lang/Language.h"
#include "platform/Console.h"
#include "util/CodePage.h"
#include "util/FileIO.h"

namespace pgl::cli {

namespace {

enum class Msg { MoreKeys, NothingToRestore, NothingWritten, NothingRestored, Restored, Count };

constexpr Message<Msg> kMessages[] = {
    {Msg::MoreKeys, {"%1 more keys", "%1 kluczy więcej"}},
    {Msg::NothingToRestore, {"Nothing to restore.", "Nie ma nic do przywrócenia."}},
    {Msg::NothingWritten, {"Nothing was written (--dry-run).", "Nic nie zapisano (--dry-run)."}},
    {Msg::NothingRestored, {"nothing was restored: %1", "nic nie przywrócono: %1"}},
    {Msg::Restored, {"Restored %1 programs from %2", "Przywrócono programów: %1 z %2"}},
};
static_assert(IsMessageTable(kMessages));

std::string Text(Msg id, Language lang, std::initializer_list<std::string_view> args = {}) {
  return Fill(MessageIn(kMessages, id, lang), args);
}

// Puts back the keys of the programs a registry script holds (a backup): the plan first, a
// line per entry, then, unless --dry-run, everything in one save per registry file. Fails when
// the file is no script, when anything in it was refused, or when nothing could be written.
int Restore(ManagedSystem& system, const std::string& file, bool dryRun, bool yes, Language lang) {
  std::string bytes, error;
  if (!ReadWholeFile(file, bytes, error, kMaxScriptBytes + 1)) return Fail(file + ": " + error);
  RestorePlan plan;
  if (!PlanRestore(*system.registry, bytes, UserAnsiCodePage(), plan, error,
                   IsOurLeftoversExport(LeftoversFolder(), bytes)))
    return Fail(file + ": " + error);
  bytes = {};
  for (const auto& item : plan.items)
    Out(RestoreKindText(item.kind, lang) + ": " + Safe(RestoreItemLine(item, lang)) + "\n");
  if (plan.refusedNotListed > 0)
    Out(RestoreKindText(RestoreKind::Refused, lang) + ": " +
        Text(Msg::MoreKeys, lang, {std::to_string(plan.refusedNotListed)}) + "\n");
  const int exitCode = plan.AnyRefused() ? 1 : 0;
  if (plan.writes.empty()) {
    Out(Text(Msg::NothingToRestore, lang) + "\n");
    return exitCode;
  }
  if (dryRun) {
    Out(Text(Msg::NothingWritten, lang) + "\n");
    return exitCode;
  }
  if (!yes && InputIsTerminal() && !Agreed("Write the keys above into the registry?")) return 1;
  if (!ApplyRestore(*system.registry, plan, lang, error))
    return Fail(Text(Msg::NothingRestored, lang, {error}));
  const std::size_t count = plan.Count(RestoreKind::AddBack) + plan.Count(RestoreKind::Replace);
  Out(Text(Msg::Restored, lang, {std::to_string(count), Safe(file)}) + "\n");
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
    return Restore(*system, file_, dryRun_, yes_, LanguageOf(polish_));
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
