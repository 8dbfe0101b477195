// pgl: the window. Works on the Wine prefix named by WINEPREFIX, else ~/.wine.
#include <QApplication>
#include <QMessageBox>

#include "platform/AppFiles.h"
#include "platform/ManagedSystem.h"
#include "ui/main/CommandImages.h"
#include "ui/main/TFormMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Purgelet");
  QApplication::setWindowIcon(pgl::AppIcon());
  std::string error;
  auto system = pgl::OpenManagedSystem(error);
  if (!system) {
    QMessageBox::critical(nullptr, "Purgelet", QString::fromStdString(error));
    return 1;
  }
  const std::string dir = pgl::ProgramFilesDir();
  pgl::ProgramFiles files{dir + "/pgl.ini", pgl::ErrorLogFileName(), dir,
                          pgl::ExecutableDir() + "/pgl", pgl::SearchLogFileName()};
  pgl::TFormMain window(*system, files);
  window.show();
  return app.exec();
}
