// pgl_screenshot PREFIX OUT.png [--polish] [--large-icons] [--dark] [--size WxH] [--all-prefixes]
//                [--window details|search|errors|about|restore|leftovers|quiet|prefixes]:
// the main window on a prefix as the user sees it after start-up (at its default size unless
// --size says otherwise; --dark: Qt's Fusion style with a dark palette), or one of its
// secondary windows opened over it, saved as a picture (for scripts/screenshots.sh).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QPalette>
#include <QStyleFactory>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "TestSupport.h"
#include "inventory/Restore.h"
#include "inventory/UCollection.h"
#include "inventory/UninstallEngine.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/Leftovers.h"
#include "platform/ManagedSystem.h"
#include "registry/RegExport.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/LeftoversDialog.h"
#include "ui/windows/RestoreDialog.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"
#include "ui/windows/TFormPrefixes.h"
#include "ui/windows/TFormSearch.h"
#include "util/CodePage.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: pgl_screenshot PREFIX OUT.png [--polish] [--large-icons] "
                 "[--window details|search|errors|about|restore|leftovers]\n");
    return 2;
  }
  ::setenv("WINEPREFIX", argv[1], 1);
  QApplication app(argc, argv);
  for (int i = 3; i < argc; ++i)
    if (std::strcmp(argv[i], "--dark") == 0) {
      QApplication::setStyle(QStyleFactory::create("Fusion"));
      QPalette dark;
      dark.setColor(QPalette::Window, QColor(45, 45, 48));
      dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
      dark.setColor(QPalette::Base, QColor(30, 30, 30));
      dark.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
      dark.setColor(QPalette::Text, QColor(230, 230, 230));
      dark.setColor(QPalette::Button, QColor(55, 55, 58));
      dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
      dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
      dark.setColor(QPalette::HighlightedText, Qt::white);
      dark.setColor(QPalette::ToolTipBase, QColor(60, 60, 60));
      dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
      dark.setColor(QPalette::Link, QColor(100, 170, 255));
      dark.setColor(QPalette::Mid, QColor(80, 80, 80));
      dark.setColor(QPalette::PlaceholderText, QColor(160, 160, 160));
      QApplication::setPalette(dark);
    }
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
  QSize size = window.size();  // the default
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      const QStringList parts = QString(argv[++i]).split('x');
      if (parts.size() == 2) size = QSize(parts[0].toInt(), parts[1].toInt());
    }
    if (std::strcmp(argv[i], "--polish") == 0) window.Action("actSetLangPL")->trigger();
    if (std::strcmp(argv[i], "--large-icons") == 0) window.SetViewStyle(pgl::ViewStyle::LargeIcons);
    if (std::strcmp(argv[i], "--window") == 0 && i + 1 < argc) which = argv[++i];
    if (std::strcmp(argv[i], "--all-prefixes") == 0) window.ShowAllPrefixes();
  }
  window.resize(size);
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
        window.language == pgl::Language::Polish
            ? "Błąd wykonania polecenia: \"C:\\Program Files\\Gone\\uninst.exe\"\r\n"
              "Kod błędu: 2\r\nNie można odnaleźć określonego pliku."
            : "Command failed: \"C:\\Program Files\\Gone\\uninst.exe\"\r\n"
              "Error no.: 2\r\nFile not found.");
    window.Action("actShowErrors")->trigger();
    shot = window.ErrorsWindow();
  } else if (which == "about") {
    window.Action("actAbout")->trigger();
    shot = window.About();
  } else if (which == "prefixes") {
    // Every prefix of the home, measured, the largest chosen.
    window.Menu("mnuPrefix")->findChild<QAction*>("actPrefixes")->trigger();
    pgl::TFormPrefixes* prefixes = window.PrefixesWindow();
    QElapsedTimer waited;
    waited.start();
    while (!prefixes->Measured() && waited.elapsed() < 60000) app.processEvents();
    prefixes->Table()->selectRow(0);
    shot = prefixes;
  }
  // The plan of a restore of the prefix's own backup into an empty registry, with a key no
  // restore writes.
  std::unique_ptr<pgl::RestoreDialog> restore;
  if (which == "restore") {
    const auto backup = pgl::BuildRegistryExport(
        *system->registry, pgl::BackupKeys(*system->registry), pgl::UserAnsiCodePage());
    pgl::MemoryRegistry empty;
    pgl::RestorePlan plan;
    std::string error;
    pgl::PlanRestore(empty, backup.bytes, pgl::UserAnsiCodePage(), plan, error);
    pgl::RestoreItem refused;
    refused.kind = pgl::RestoreKind::Refused;
    refused.key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    plan.items.push_back(refused);
    restore = std::make_unique<pgl::RestoreDialog>(&window, "/home/user/registry_backup.reg", plan,
                                                   window.language);
    restore->show();
    shot = restore.get();
  }
  // What the first programs of the list would leave.
  std::unique_ptr<pgl::LeftoversDialog> leftovers;
  if (which == "leftovers") {
    pgl::TUninstallCollection collection(*system->registry, *system->platform);
    collection.ScanSorted();
    const pgl::LeftoverScope scope = pgl::MakeLeftoverScope(*system, collection);
    std::vector<pgl::ProgramLeftovers> programs;
    for (int i = 0; i < collection.Count() && programs.size() < 4; ++i) {
      const auto& entry = collection.GetItem(i).UninstallInfo;
      auto items = pgl::FindLeftovers(scope, pgl::CollectEvidence(scope, entry));
      std::vector<std::string> shown;
      for (const auto& item : items) shown.push_back(pgl::DisplayText(scope, item));
      // Still installed: shown as the preview the window gives.
      if (!items.empty())
        programs.push_back({entry.DisplayName.str(), std::move(items), shown,
                            pgl::StillInstalled(scope, RegistryKeyOf(entry))});
    }
    leftovers = std::make_unique<pgl::LeftoversDialog>(&window, programs, window.language);
    leftovers->show();
    shot = leftovers.get();
  }
  // The quiet uninstall's confirmation of the first ten programs, with why some will not run.
  std::unique_ptr<pgl::TFormUninstall> quiet;
  if (which == "quiet") {
    pgl::TUninstallCollection collection(*system->registry, *system->platform);
    collection.ScanSorted();
    pgl::TErrorList errors("");
    pgl::UninstallEngine engine(*system->registry, *system->platform, *system->runner, errors);
    QStringList names, notes;
    for (int i = 0; i < collection.Count() && names.size() < 10; ++i) {
      const auto& entry = collection.GetItem(i).UninstallInfo;
      names << QString::fromStdString(entry.DisplayName.str());
      const std::string why = engine.WhyNotRun(entry, window.language, pgl::UninstallMode::Quiet);
      if (!why.empty()) notes << QString::fromStdString(entry.DisplayName.str() + ": " + why);
    }
    quiet = std::make_unique<pgl::TFormUninstall>(&window);
    quiet->SetLang(window.language);
    quiet->SetPrograms(names, notes);
    quiet->show();
    shot = quiet.get();
  }
  QTimer::singleShot(300, [&] {
    shot->grab().save(QString::fromLocal8Bit(argv[2]));
    app.quit();
  });
  return app.exec();
}
