// pgl: the window. Works on the Wine prefix named by WINEPREFIX, else on the one it showed
// last, else on ~/.wine; the window switches between the prefixes of the user.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/AppFiles.h"
#include "platform/ManagedSystem.h"
#include "ui/main/CommandImages.h"
#include "ui/main/Startup.h"
#include "ui/main/TFormMain.h"
#include "util/BuildInfo.h"

namespace {

constexpr const char* kUsage =
    "Usage: pgl [--screenshot FILE]\n"
    "       pgl --version | --help\n"
    "\n"
    "Purgelet's window: the programs installed in a Wine prefix (WINEPREFIX, else the prefix\n"
    "shown last, else ~/.wine), and every other prefix of yours.\n"
    "\n"
    "  --screenshot FILE  save the window as it first shows to FILE, then end\n"
    "  --version          print the release and the commit it was built from\n"
    "  --help             print this text\n"
    "\n"
    "Without a display, pgl-cli does the same work (pgl-cli --help).\n";

// Whether the window's library can find a display: an X or Wayland one, or a platform named
// in QT_QPA_PLATFORM that needs none (offscreen, say).
bool DisplayAvailable() {
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  if (set("QT_QPA_PLATFORM")) {
    const std::string_view platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform.starts_with("xcb") && !platform.starts_with("wayland")) return true;
  }
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before the window's library looks for a display: they work without one.
  const std::string_view first = argc >= 2 ? argv[1] : "";
  if (argc == 2 && first == "--version") {
    std::printf("pgl %s\n", pgl::VersionText().c_str());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::fputs(kUsage, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  if (argc > 1 && !(argc == 3 && first == "--screenshot")) {
    std::fprintf(stderr, "pgl: unknown arguments\n\n%s", kUsage);
    return 2;
  }
  if (!DisplayAvailable()) {
    std::fputs(
        "pgl: there is no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
        "are not set). pgl-cli does the same work without one: pgl-cli --help.\n",
        stderr);
    return 1;
  }
  // WINEPREFIX when set, else the prefix shown last, else ~/.wine.
  const std::string dir = pgl::ProgramFilesDir();
  const char* home = std::getenv("HOME");
  const char* winePrefix = std::getenv("WINEPREFIX");
  const std::string prefix = pgl::PrefixToOpen(pgl::LastShownPrefix(dir + "/pgl.ini"),
                                               winePrefix ? winePrefix : "", home ? home : "");
  pgl::RestartForLargeRegistry(prefix, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Purgelet");
  QApplication::setWindowIcon(pgl::AppIcon());
  std::string error;
  // A prefix of many programs is listed without decoding the keys nobody shows.
  pgl::OpenSystemsForListing();
  auto system = pgl::OpenManagedSystemAt(prefix, error);
  if (!system) {
    QMessageBox::critical(nullptr, "Purgelet", QString::fromStdString(error));
    return 1;
  }
  pgl::ProgramFiles files{dir + "/pgl.ini", pgl::ErrorLogFileName(), dir,
                          pgl::ExecutableDir() + "/pgl", pgl::SearchLogFileName()};
  pgl::TFormMain window(*system, files);
  if (!winePrefix && pgl::LastShownAll(files.settingsFileName)) window.ShowAllPrefixes();
  window.show();
  // --screenshot FILE: the window as it first shows, saved as a picture, then the program ends
  // (a check that an installed program starts; with QT_QPA_PLATFORM=offscreen no display is
  // needed).
  if (argc == 3 && std::string_view(argv[1]) == "--screenshot") {
    const QString file = QString::fromLocal8Bit(argv[2]);
    QTimer::singleShot(500, &window,
                       [&window, file] { QApplication::exit(window.grab().save(file) ? 0 : 1); });
  }
  return app.exec();
}
