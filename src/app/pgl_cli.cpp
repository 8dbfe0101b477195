// pgl-cli: the program's commands without a window, for scripts and for people who manage
// many prefixes. Exit codes: 0 done, 1 failed, 2 wrong usage.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "inventory/EntryList.h"
#include "inventory/Report.h"
#include "inventory/UCollection.h"
#include "platform/FileIO.h"
#include "platform/ManagedSystem.h"
#include "registry/RegExport.h"
#include "util/CodePage.h"

namespace {

constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

void Usage(std::FILE* out) {
  std::fputs(
      "Usage: pgl-cli COMMAND [ARGS]\n"
      "Works on the Wine prefix named by WINEPREFIX, else ~/.wine.\n\n"
      "Commands:\n"
      "  list [FILTERS]           the installed programs, one line each, with the list's 21\n"
      "                           columns separated by tabs (tabs and line breaks inside a\n"
      "                           value are shown as blanks); the first line has the captions\n"
      "  report FILE [FILTERS] [--polish]\n"
      "                           the same list as an HTML report\n"
      "  backup FILE              write the Uninstall key as a registry script (REGEDIT4) to\n"
      "                           FILE (- for standard output)\n"
      "  help                     show this text\n\n"
      "Filters (the window's defaults: system components hidden, invalid entries shown):\n"
      "  --system-components      show system components too\n"
      "  --no-invalid             hide invalid entries\n"
      "  --only-invalid           show only invalid entries\n",
      out);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "pgl-cli: %s\n", message.c_str());
  return 1;
}

int Backup(pgl::ManagedSystem& system, const std::string& file) {
  const int codePage = pgl::UserAnsiCodePage();
  try {
    bool unicode = false;
    if (file == "-") {
      const auto result = pgl::BuildRegistryExport(*system.registry, pgl::kHkeyLocalMachine,
                                                   kUninstallKey, codePage);
      std::fwrite(result.bytes.data(), 1, result.bytes.size(), stdout);
      if (std::fflush(stdout) != 0) return Fail("cannot write to standard output");
      unicode = result.unicode;
    } else {
      unicode = pgl::ExportRegistryKey(*system.registry, pgl::kHkeyLocalMachine, kUninstallKey,
                                       file, codePage);
    }
    if (unicode)
      std::fprintf(stderr,
                   "pgl-cli: some text cannot be written in code page %d; the backup was "
                   "written as a Unicode registry script instead, which keeps all of it.\n",
                   codePage);
  } catch (const pgl::ERegistryExportError& e) {
    return Fail(e.what());
  }
  if (file != "-") std::printf("Backup written to %s\n", file.c_str());
  return 0;
}

struct ListOptions {
  bool systemComponents = false;
  pgl::ListFilter filter;
  bool polish = false;
  std::vector<std::string> operands;
};

bool ParseListOptions(const std::vector<std::string>& args, bool allowPolish, ListOptions& out) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--system-components") {
      out.systemComponents = true;
    } else if (a == "--no-invalid") {
      out.filter.showInvalid = false;
    } else if (a == "--only-invalid") {
      out.filter.showOnlyInvalid = true;
    } else if (a == "--polish" && allowPolish) {
      out.polish = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "pgl-cli: unknown option \"%s\"\n", a.c_str());
      return false;
    } else {
      out.operands.push_back(a);
    }
  }
  return true;
}

// The list as the window shows it at start: scanned, sorted by name, then by the default key.
std::vector<pgl::ListRow> ScanAndList(pgl::ManagedSystem& system, const ListOptions& options) {
  pgl::TUninstallCollection collection(*system.registry, *system.platform);
  collection.SystemComponentsVisible = options.systemComponents;
  const pgl::ScanReport report = collection.ReadUninstallEntries();
  if (report.unreadableValues > 0)
    std::fprintf(stderr,
                 "pgl-cli: %d registry value(s) could not be read as text (the first: %s); "
                 "their fields are left empty.\n",
                 report.unreadableValues, report.firstUnreadable.c_str());
  collection.SortByName();
  collection.SortItems(collection.CurrentSort);
  return pgl::BuildListRows(collection, options.filter, options.polish);
}

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return text;
}

int List(pgl::ManagedSystem& system, const ListOptions& options) {
  std::string out;
  const auto& columns = pgl::ListColumns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (c) out += '\t';
    out += columns[c].english;
  }
  out += '\n';
  for (const auto& row : ScanAndList(system, options)) {
    for (std::size_t c = 0; c < row.cells.size(); ++c) {
      if (c) out += '\t';
      out += OneLine(row.cells[c]);
    }
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : Fail("cannot write to standard output");
}

int Report(pgl::ManagedSystem& system, const ListOptions& options) {
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
  if (!pgl::WriteFileAtomic(options.operands[0], html, error)) return Fail(error);
  std::printf("Report of %zu programs written to %s\n", rows.size(), options.operands[0].c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    Usage(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  ListOptions options;
  const bool known = command == "backup" || command == "list" || command == "report";
  if (!known) {
    std::fprintf(stderr, "pgl-cli: unknown command \"%s\"\n", command.c_str());
    Usage(stderr);
    return 2;
  }
  const std::size_t operandsWanted = command == "list" ? 0 : 1;
  if (command == "backup") {
    if (args.size() != 2) {
      Usage(stderr);
      return 2;
    }
    options.operands.push_back(args[1]);
  } else if (!ParseListOptions(args, command == "report", options) ||
             options.operands.size() != operandsWanted) {
    Usage(stderr);
    return 2;
  }
  std::string error;
  auto system = pgl::OpenManagedSystem(error);
  if (!system) return Fail(error);
  for (const auto& problem : system->problems)
    std::fprintf(stderr, "pgl-cli: %s\n", problem.c_str());
  if (command == "list") return List(*system, options);
  if (command == "report") return Report(*system, options);
  return Backup(*system, options.operands[0]);
}
