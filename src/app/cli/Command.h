// One command of pgl-cli: its options, bound to fields of its own, and what it runs.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <vector>

#include "platform/ManagedSystem.h"

namespace pgl::cli {

class Command {
 public:
  // What a command works on: nothing opened (it finds prefixes itself), the prefix read for
  // its list only, or the prefix read whole.
  enum class Needs { Nothing, ListingOnly, WholeSystem };

  virtual ~Command() = default;
  // Adds the command, with its options, to `app`; answers it.
  virtual CLI::App* Define(CLI::App& app) = 0;
  virtual Needs What() const { return Needs::WholeSystem; }
  // `system` is null for a command that needs nothing opened. Answers the exit code.
  virtual int Run(ManagedSystem* system) = 0;
};

// Every command, in the order the help lists them.
std::vector<std::unique_ptr<Command>> AllCommands();

// Each command's maker, one unit each.
std::unique_ptr<Command> MakePrefixesCommand();
std::unique_ptr<Command> MakeListCommand();
std::unique_ptr<Command> MakeReportCommand();
std::unique_ptr<Command> MakeBackupCommand();
std::unique_ptr<Command> MakeUninstallCommand();
std::unique_ptr<Command> MakeRemoveCommand();
std::unique_ptr<Command> MakeRestoreCommand();
std::unique_ptr<Command> MakeLeftoversCommand();
std::unique_ptr<Command> MakeDesktopEntriesCommand();
std::unique_ptr<Command> MakeRemovePrefixCommand();
std::unique_ptr<Command> MakeDedupeCommand();

// The --format option of the commands that print tables ("tsv", "csv", "json").
CLI::Option* AddFormatOption(CLI::App* command, std::string& format, const std::string& help);

}  // namespace pgl::cli
