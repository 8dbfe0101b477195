// pgl_screenshot PREFIX OUT.png [--polish] [--large-icons] [--window details|search|errors|about]:
// the main window on a prefix as the user sees it after start-up, or one of its secondary
// windows opened over it, saved as a picture (for scripts/screenshots.sh).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTableView>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TestSupport.h"
#include "platform/ManagedSystem.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"
#include "ui/windows/TFormSearch.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: pgl_screenshot PREFIX OUT.png [--polish] [--large-icons] "
                 "[--window details|search|errors|about]\n");
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
  std::string which;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--polish") == 0) window.Action("actSetLangPL")->trigger();
    if (std::strcmp(argv[i], "--large-icons") == 0) window.SetViewStyle(pgl::ViewStyle::LargeIcons);
    if (std::strcmp(argv[i], "--window") == 0 && i + 1 < argc) which = argv[++i];
  }
  window.resize(1000, 600);
  window.show();
  QWidget* shot = &window;
  if (which == "details") {
    // An entry with a usage record shows all three parts.
    for (int r = 0; r < window.Model()->rowCount(); ++r)
      if (!window.Model()->CellText(r, 3).empty()) {
        window.List()->selectRow(r);
        break;
      }
    window.Action("actShowDetails")->trigger();
    shot = window.Details();
  } else if (which == "search") {
    window.Action("actSearch")->trigger();
    window.Search()->Text()->setEditText("Microsoft");
    shot = window.Search();
  } else if (which == "errors") {
    window.Errors().AddError(
        window.languagePL ? "Błąd wykonania polecenia: \"C:\\Program Files\\Gone\\uninst.exe\"\r\n"
                            "Kod błędu: 2\r\nNie można odnaleźć określonego pliku."
                          : "Command failed: \"C:\\Program Files\\Gone\\uninst.exe\"\r\n"
                            "Error no.: 2\r\nFile not found.");
    window.Action("actShowErrors")->trigger();
    shot = window.ErrorsWindow();
  } else if (which == "about") {
    window.Action("actAbout")->trigger();
    shot = window.About();
  }
  QTimer::singleShot(300, [&] {
    shot->grab().save(QString::fromLocal8Bit(argv[2]));
    app.quit();
  });
  return app.exec();
}
