#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "platform/Console.h"
#include "util/WindowsText.h"

namespace pgl {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  // The C runtime's argv is in the ANSI code page, which loses characters: the wide command
  // line is the original.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (!wide) {
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    return args;
  }
  for (int i = 0; i < count; ++i) args.push_back(Utf8Text(wide[i]));
  LocalFree(wide);
  return args;
}

namespace {

UINT gConsoleCodePage = 0;

// The console is the user's: it gets its code page back when we are done.
void RestoreConsoleCodePage() {
  if (gConsoleCodePage != 0) SetConsoleOutputCP(gConsoleCodePage);
}

}  // namespace

void PrepareConsoleOutput() {
  gConsoleCodePage = GetConsoleOutputCP();
  if (gConsoleCodePage != 0 && gConsoleCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
    std::atexit(RestoreConsoleCodePage);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool InputIsTerminal() {
  return _isatty(_fileno(stdin)) != 0;
}

}  // namespace pgl
