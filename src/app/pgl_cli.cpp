// pgl-cli: the program's commands without a window, for scripts and for people who manage
// many prefixes. Exit codes: 0 done, 1 failed, 2 wrong usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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
      "  backup FILE   write the Uninstall key as a registry script (REGEDIT4) to FILE\n"
      "                (- for standard output)\n"
      "  help          show this text\n",
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

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    Usage(args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  if (command != "backup") {
    std::fprintf(stderr, "pgl-cli: unknown command \"%s\"\n", command.c_str());
    Usage(stderr);
    return 2;
  }
  if (args.size() != 2) {
    Usage(stderr);
    return 2;
  }
  std::string error;
  auto system = pgl::OpenManagedSystem(error);
  if (!system) return Fail(error);
  for (const auto& problem : system->problems)
    std::fprintf(stderr, "pgl-cli: %s\n", problem.c_str());
  return Backup(*system, args[1]);
}
