// pgl_screenshot PREFIX OUT.png [--polish] [--large-icons]: the main window on a prefix, as the
// user would see it after start-up, saved as a picture (for scripts/screenshots.sh).
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TestSupport.h"
#include "platform/ManagedSystem.h"
#include "ui/main/TFormMain.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: pgl_screenshot PREFIX OUT.png [--polish]\n");
    return 2;
  }
  ::setenv("WINEPREFIX", argv[1], 1);
  QApplication app(argc, argv);
  std::string error;
  auto system = pgl::OpenManagedSystem(error);
  if (!system) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  pgl::test::TempDir dir;  // a settings file of its own: the first start
  pgl::TFormMain window(*system,
                        {dir / "pgl.ini", dir / "pgl_Errors.log", "", "", dir / "pgl_Search.log"});
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--polish") == 0) window.Action("actSetLangPL")->trigger();
    if (std::strcmp(argv[i], "--large-icons") == 0) window.SetViewStyle(0);
  }
  window.resize(1000, 600);
  window.show();
  QTimer::singleShot(300, [&] {
    window.grab().save(QString::fromLocal8Bit(argv[2]));
    app.quit();
  });
  return app.exec();
}
