// Where the program keeps its own files (settings, logs): beside the executable where that
// folder may be written, else in the user's configuration folder.
#pragma once

#include <string>

#include "lang/Language.h"

namespace pgl {

// The folder of the running executable.
std::string ExecutableDir();
// The file the build puts beside the programs it makes (never installed): only there do the
// programs keep their files beside themselves.
inline constexpr const char* kBuildTreeMarker = "purgelet-build-tree";
// The folder for the program's files: ExecutableDir() in a build tree where it may be written,
// else $XDG_CONFIG_HOME/purgelet (else ~/.config/purgelet), created when missing. On Windows
// the program's folder wherever it may be written.
std::string ProgramFilesDir();
// The help page F1 opens for a program in `exeDir`: help/index.html beside it (the build tree,
// the Windows folder), else ../share/purgelet/help/index.html (installed); index.pl.html in
// Polish, the English page where that is missing. Empty when none exists.
std::string HelpPageFile(const std::string& exeDir, Language lang = Language::English);
// The error log that the window and pgl-cli share: "pgl_Errors.log" in ProgramFilesDir().
std::string ErrorLogFileName();
// The search window's log: "pgl_Search.log" in ProgramFilesDir().
std::string SearchLogFileName();

}  // namespace pgl
