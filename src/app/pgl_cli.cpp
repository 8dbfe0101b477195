// pgl-cli: the program's commands without a window, for scripts and for people who manage
// many prefixes. Exit codes: 0 done, 1 failed, 2 wrong usage. Each command is a unit of its
// own (app/cli); this file reads the command line and runs the one command it names.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/CliSupport.h"
#include "app/cli/Command.h"
#include "platform/Console.h"
#include "platform/ManagedSystem.h"
#include "util/BuildInfo.h"
#include "util/Utf.h"

namespace pgl::cli {

std::vector<std::unique_ptr<Command>> AllCommands() {
  std::vector<std::unique_ptr<Command>> commands;
  commands.push_back(MakePrefixesCommand());
  commands.push_back(MakeListCommand());
  commands.push_back(MakeReportCommand());
  commands.push_back(MakeBackupCommand());
  commands.push_back(MakeUninstallCommand());
  commands.push_back(MakeRemoveCommand());
  commands.push_back(MakeRestoreCommand());
  commands.push_back(MakeLeftoversCommand());
  commands.push_back(MakeDesktopEntriesCommand());
  commands.push_back(MakeRemovePrefixCommand());
  commands.push_back(MakeDedupeCommand());
  return commands;
}

CLI::Option* AddFormatOption(CLI::App* command, std::string& format, const std::string& help) {
  return command->add_option("--format", format, help)
      ->check(CLI::IsMember({"tsv", "csv", "json"}));
}

namespace {

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

// A misspelt command is named, with the nearest one (CLI11 would only say that a command is
// required). False when an argument that is not an option names no command.
bool CommandNamed(const CLI::App& app, const std::vector<std::string>& given) {
  std::vector<std::string> names;
  for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
  for (std::size_t i = 1; i < given.size(); ++i) {
    const std::string& arg = given[i];
    if (arg == "--prefix") {
      ++i;
      continue;
    }
    if (arg.starts_with("-")) continue;
    if (std::find(names.begin(), names.end(), arg) != names.end()) return true;
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
    return false;
  }
  return true;
}

// Parses the command line; answers the exit code when the program ends here (help, a usage
// error), else -1.
int Parse(CLI::App& app, int argc, char** argv) {
  // CLI11's texts quote the arguments: they reach the terminal filtered too.
  const auto exitWith = [&app](const CLI::Error& e) {
    std::ostringstream out, err;
    const int code = app.exit(e, out, err);
    Out(WithoutControlCharacters(out.str(), true));
    std::fputs(WithoutControlCharacters(err.str(), true).c_str(), stderr);
    return code;
  };
  const std::vector<std::string> given = CommandLineArguments(argc, argv);
  if (!CommandNamed(app, given)) return 2;
  try {
    std::vector<std::string> args(given.rbegin(), given.rend());
    args.pop_back();  // the program's name
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return exitWith(e);
  } catch (const CLI::CallForAllHelp& e) {
    return exitWith(e);
  } catch (const CLI::CallForVersion& e) {
    return exitWith(e);
  } catch (const CLI::ParseError& e) {
    exitWith(e);
    return 2;
  }
  return -1;
}

// The prefix the command line names with --prefix, else the default one. Read before the
// command line is parsed, only to tell whether to restart: a wrong guess costs time, not work.
std::string PrefixArgument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "--prefix" && i + 1 < argc) return argv[i + 1];
    if (arg.starts_with("--prefix=")) return std::string(arg.substr(9));
  }
  return DefaultWinePrefix();
}

int Main(int argc, char** argv) {
  PrepareConsoleOutput();
  CLI::App app("Lists and removes the Windows programs installed " + ManagedSystemSummary() +
                   ".\nExit codes: 0 done, 1 failed, 2 wrong usage.",
               "pgl-cli");
  app.require_subcommand(1);
  app.fallthrough();  // --prefix after the command too
  std::string prefixDir;
  app.add_option("--prefix", prefixDir,
                 "the Wine prefix to work on (else WINEPREFIX, else ~/.wine); its front end's "
                 "Wine runs its uninstallers");
  app.set_help_all_flag("--help-all", "show the help of every command");
  app.set_version_flag("--version", "pgl-cli " + VersionText(),
                       "the version and the commit it was built from");
  const std::vector<std::unique_ptr<Command>> commands = AllCommands();
  std::vector<std::pair<CLI::App*, Command*>> defined;
  for (const auto& command : commands) defined.emplace_back(command->Define(app), command.get());
  if (const int exitCode = Parse(app, argc, argv); exitCode >= 0) return exitCode;

  // The one command given; require_subcommand(1) makes sure there is one.
  Command* chosen = nullptr;
  for (const auto& [parsed, command] : defined)
    if (*parsed) chosen = command;
  if (!chosen) {
    Fail("no command given; run with --help for the commands.");
    return 2;
  }
  const Command::Needs needs = chosen->What();
  if (needs == Command::Needs::Nothing) return chosen->Run(nullptr);
  // Commands that only read the list need not decode every key of a prefix.
  if (needs == Command::Needs::ListingOnly) OpenSystemsForListing(true);
  std::string error;
  auto system =
      prefixDir.empty() ? OpenManagedSystem(error) : OpenManagedSystemAt(prefixDir, error);
  if (!system) return Fail(prefixDir.empty() ? error : "--prefix: " + error);
  for (const auto& problem : system->problems) Note(problem);
  return chosen->Run(system.get());
}

}  // namespace

}  // namespace pgl::cli

int main(int argc, char** argv) {
  // Before anything else is built: a restart throws away all the work done before it.
  pgl::RestartForLargeRegistry(pgl::cli::PrefixArgument(argc, argv), argv);
  return pgl::cli::FinishOutput(pgl::cli::Main(argc, argv));
}
