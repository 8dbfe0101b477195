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

int main(int argc, char** argv) {
  // Answered before the window's library looks for a display: it works without one.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("pgl %s\n", pgl::VersionText().c_str());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Purgelet");
  QApplication::setWindowIcon(pgl::AppIcon());
  // WINEPREFIX when set, else the prefix shown last, else ~/.wine.
  const std::string dir = pgl::ProgramFilesDir();
  const char* home = std::getenv("HOME");
  const char* winePrefix = std::getenv("WINEPREFIX");
  std::string error;
  // A prefix of many programs is listed without decoding the keys nobody shows.
  pgl::OpenSystemsForListing();
  auto system =
      pgl::OpenManagedSystemAt(pgl::PrefixToOpen(pgl::LastShownPrefix(dir + "/pgl.ini"),
                                                 winePrefix ? winePrefix : "", home ? home : ""),
                               error);
  if (!system) {
    QMessageBox::critical(nullptr, "Purgelet", QString::fromStdString(error));
    return 1;
  }
  pgl::ProgramFiles files{dir + "/pgl.ini", pgl::ErrorLogFileName(), dir,
                          pgl::ExecutableDir() + "/pgl", pgl::SearchLogFileName()};
  pgl::TFormMain window(*system, files);
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
