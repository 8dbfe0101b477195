// The secondary windows and the main window's other commands on a temporary prefix: details
// following the selection, search in both kinds with its history, the errors window and its
// log, the report and backup through the save dialog, the periodic check, the About window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include "WindowTestSupport.h"
#include "platform/ManagedSystem.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "ui/main/Startup.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"
#include "ui/windows/TFormSearch.h"
#include "util/BuildInfo.h"

namespace pgl {
namespace {

using test::MainWindowTest;
using test::RecordingDesktop;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Another program changes the prefix's registry file.
void ChangeOnDisk(const std::string& prefix, const std::function<void(RegistryStore&)>& change) {
  WinePrefixRegistry other(prefix);
  change(other);
}

std::vector<std::string> Selected(TFormMain& w) {
  std::vector<std::string> names;
  for (int r = 0; r < w.Model()->rowCount(); ++r)
    if (w.List()->selectionModel()->isRowSelected(r, {}))
      names.push_back(w.Model()->CellText(r, 0));
  return names;
}

TEST_F(MainWindowTest, DetailsFollowTheSelection) {
  auto* desktop = new RecordingDesktop;
  system->desktop.reset(desktop);
  TFormMain w(*system, Files());
  std::vector<std::string> clipboard;
  w.Services().setClipboard = [&](const QString& text) { clipboard.push_back(text.toStdString()); };
  test::Choose(w, "actShowDetails");
  w.List()->selectRow(0);
  TFormDetails& d = *w.Details();
  ASSERT_TRUE(d.isVisible());
  const auto names = [&] {
    std::vector<std::string> n;
    for (int r = 0; r < d.List()->rowCount(); ++r)
      n.push_back(d.List()->item(r, 0)->text().toStdString() + "|" +
                  d.List()->item(r, 1)->text().toStdString());
    return n;
  };
  // No usage record: the last row says the size is not known.
  EXPECT_EQ(names(), (std::vector<std::string>{"+|", " 1|DisplayName", " 2|UninstallString",
                                               " 3|URLInfoAbout", " 1|Size"}));
  EXPECT_EQ(d.KeyLabel(false)->text().toStdString(), "HKEY_LOCAL_MACHINE\\" + kUninstall + "Alpha");
  EXPECT_EQ(d.KeyLabel(true)->text().toStdString(), "");
  // Copy: the header's banner and a value as name, tab, value.
  d.List()->selectRow(0);
  d.List()->selectionModel()->select(d.List()->model()->index(1, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  test::Press(&d, d.List(), Qt::Key_C, Qt::ControlModifier);
  ASSERT_EQ(clipboard.size(), 1u);
  EXPECT_EQ(clipboard[0],
            "//////////////////// Uninstall Key ////////////////////\r\nDisplayName\tAlpha\r\n");
  // The key label: a click opens the editor there, a right click copies it.
  QTest::mouseClick(d.KeyLabel(false), Qt::LeftButton);
  QTest::mouseClick(d.KeyLabel(false), Qt::RightButton);
  QTest::mouseClick(d.KeyLabel(true), Qt::LeftButton);  // empty: nothing
  EXPECT_EQ(desktop->opened,
            std::vector<std::string>{"key HKEY_LOCAL_MACHINE\\" + kUninstall + "Alpha"});
  EXPECT_EQ(clipboard.back(), "HKEY_LOCAL_MACHINE\\" + kUninstall + "Alpha");
  // Another row; then no row.
  w.List()->selectRow(1);
  EXPECT_EQ(d.List()->item(1, 2)->text().toStdString(), "Broken");
  w.List()->clearSelection();
  EXPECT_EQ(d.List()->rowCount(), 0);
  EXPECT_EQ(d.KeyLabel(false)->text().toStdString(), "");
  // Ctrl+D hides it again; the content stays until the next selection.
  w.List()->selectRow(0);
  test::Choose(w, "actShowDetails");
  EXPECT_FALSE(d.isVisible());
  d.SetLang(Language::Polish);
  EXPECT_EQ(d.windowTitle().toStdString(), "Szczegóły");
  EXPECT_EQ(d.List()->horizontalHeaderItem(2)->text().toStdString(), "Wartość");
}

TEST_F(MainWindowTest, SearchSelectsAllOrOneAfterTheOther) {
  TFormMain w(*system, Files());
  w.show();
  TFormSearch& s = *w.Search();
  test::Choose(w, "actSearch");
  ASSERT_TRUE(s.isVisible());
  // All matching rows at once, case ignored; the window closes; Find next stays off.
  s.Text()->setEditText("bRO");
  s.actSearchExecute();
  EXPECT_FALSE(s.isVisible());
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Broken"});
  EXPECT_FALSE(w.Action("actFindNext")->isEnabled());
  // One at a time: from the first row, the next row whose name has an "r".
  s.Control("chSelectAllMatching")->setChecked(false);
  w.List()->selectRow(0);
  s.Text()->setEditText("r");
  s.actSearchExecute();
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Broken"});
  EXPECT_TRUE(w.Action("actFindNext")->isEnabled());
  // F3 from the last row starts again at the first: Alpha has no "r", Broken is found again.
  s.Text()->setEditText("A");
  s.Control("chIgnoreCase")->setChecked(false);
  test::Choose(w, "actFindNext");
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Alpha"});
  test::Choose(w, "actFindNext");  // nothing after Alpha: Alpha again, Find next off
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Alpha"});
  EXPECT_FALSE(w.Action("actFindNext")->isEnabled());
  // An empty text does nothing.
  s.Text()->setEditText("");
  w.List()->clearSelection();
  s.actSearchExecute();
  EXPECT_TRUE(Selected(w).empty());
  // The history: newest first, after which the presets; written when the window closes.
  EXPECT_EQ(s.History().Items()[0], "A");
  EXPECT_EQ(s.History().Items()[1], "r");
  // The last column box cannot be unchecked.
  QTest::mouseClick(s.Control("chName"), Qt::LeftButton);
  EXPECT_TRUE(s.Control("chName")->isChecked());
  const std::string log = test::ReadFile(dir / "pgl_Search.log");
  EXPECT_TRUE(log.starts_with("A\r\nr\r\nbRO\r\nAdobe\r\n")) << log;
}

TEST_F(MainWindowTest, ErrorsWindowAppendsItsListToTheLogOnCloseAndClear) {
  TFormMain w(*system, Files());
  TFormErrors& e = *w.ErrorsWindow();
  const std::string log = dir / "pgl_Errors.log";
  const auto logLines = [&] {
    if (!std::filesystem::exists(log)) return -1;
    const std::string text = test::ReadFile(log);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  };
  w.Errors().AddError("Command failed: x\r\nError no.: 2");
  test::Choose(w, "actShowErrors");
  ASSERT_TRUE(e.isVisible());
  EXPECT_TRUE(e.Memo()->toPlainText().contains("Command failed: x"));
  test::Choose(w, "actShowErrors");  // F11 hides without saving
  EXPECT_FALSE(e.isVisible());
  EXPECT_EQ(logLines(), -1);
  test::Choose(w, "actShowErrors");
  e.close();  // closing appends the four lines
  EXPECT_EQ(logLines(), 4);
  e.show();
  e.close();  // and again: the log does not remember what it holds
  EXPECT_EQ(logLines(), 8);
  e.actClearErrorsExecute();  // clearing appends, then empties the list
  EXPECT_EQ(logLines(), 12);
  EXPECT_EQ(w.Errors().ErrorCount(), 0);
  EXPECT_TRUE(e.Memo()->toPlainText().isEmpty());
  e.actClearErrorsExecute();  // an empty list touches nothing
  EXPECT_EQ(logLines(), 12);
  // Save... writes the list to the chosen file.
  w.Errors().AddError("");
  e.Refresh();
  w.Services().chooseSaveFile = [&](const QString&, const QString&, const QString&) {
    return QString::fromStdString(dir / "saved.txt");
  };
  e.btnSaveClick();
  const std::string saved = test::ReadFile(dir / "saved.txt");
  EXPECT_TRUE(saved.ends_with(")\r\n-------------------------------------------\r\n")) << saved;
}

TEST_F(MainWindowTest, ReportAndBackupGoWhereTheDialogSays) {
  TFormMain w(*system, Files());
  std::vector<std::string> offered;
  std::string target;
  w.Services().chooseSaveFile = [&](const QString&, const QString& name, const QString&) {
    offered.push_back(name.toStdString());
    return QString::fromStdString(target);
  };
  test::Choose(w, "actReport");  // cancelled: nothing written
  target = dir / "report.html";
  test::Choose(w, "actSetLangPL");
  test::Choose(w, "actReport");
  const std::string html = test::ReadFile(target);
  EXPECT_NE(html.find("<td class=\"c_colc\">Nazwa</td>"), std::string::npos);
  EXPECT_NE(html.find("<td class=\"c_no\">2</td>\r\n<td class=\"c_name\">Broken</td>"),
            std::string::npos);
  EXPECT_NE(html.find("<a href=\"https://example.com\">https://example.com</a>"),
            std::string::npos);
  EXPECT_NE(html.find("content=\"pl\""), std::string::npos);
  target = dir / "backup.reg";
  test::Choose(w, "actRegBackup");
  const std::string reg = test::ReadFile(target);
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\" + kUninstall + "Alpha]"), std::string::npos);
  EXPECT_NE(reg.find("[HKEY_LOCAL_MACHINE\\" + kUninstall + "Core]"), std::string::npos);
  test::Choose(w, "actReport");
  ASSERT_EQ(offered.size(), 4u);
  EXPECT_EQ(offered[0], "Purgelet Report.html");
  EXPECT_EQ(offered[3], dir / "report.html");  // the name last chosen
  EXPECT_TRUE(offered[2].starts_with("registry_backup_") && offered[2].ends_with(".reg"));
}

TEST_F(MainWindowTest, PeriodicCheckAndFiltersReadWhatOthersChanged) {
  {
    TFormMain w(*system, Files());
    EXPECT_TRUE(w.CheckTimer()->isActive());
    EXPECT_EQ(w.CheckTimer()->interval(), 30000);
    w.tmCheckRegTimer();  // nothing changed
    EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
    ChangeOnDisk(dir.Path(), [](RegistryStore& r) {
      ASSERT_TRUE(RegRemoveKey(r, kHkeyLocalMachine, kUninstall + "Broken"));
      ASSERT_TRUE(
          RegWriteString(r, kHkeyLocalMachine, kUninstall + "Alpha", "DisplayName", "Alpha 2"));
    });
    w.tmCheckRegTimer();
    EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha"}));
    // A filter change rescans: the new name shows.
    test::Choose(w, "actInvalidVisible");
    EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha 2"}));
    w.close();
  }
  std::string ini = test::ReadFile(dir / "pgl.ini");
  test::WriteFile(dir / "pgl.ini", ini + "NoAutoCheckReg=1\r\n");
  TFormMain again(*system, Files());
  EXPECT_FALSE(again.CheckTimer()->isActive());
}

TEST_F(MainWindowTest, AboutSpeaksBothLanguagesAndOpensTheHomePage) {
  auto* desktop = new RecordingDesktop;
  system->desktop.reset(desktop);
  TFormMain w(*system, Files());
  test::Choose(w, "actAbout");
  TFormAbout& a = *w.About();
  ASSERT_TRUE(a.isVisible());
  EXPECT_EQ(a.windowTitle().toStdString(), "About");
  EXPECT_EQ(a.Label("Label2")->text().toStdString(), VersionText());  // as --version says
  const std::string date = a.Label("lblDate")->text().toStdString();
  test::Choose(w, "actSetLangPL");
  EXPECT_EQ(a.windowTitle().toStdString(), "O programie");
  EXPECT_NE(a.Label("lblDate")->text().toStdString(), date);
  QTest::mouseClick(a.Label("lblWWW"), Qt::LeftButton);
  ASSERT_EQ(desktop->opened.size(), 1u);
  EXPECT_TRUE(desktop->opened[0].starts_with("address https://"));
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

using test::MainWindowTest;

TEST_F(MainWindowTest, SwitchingThePrefixShowsItsProgramsAndIsRemembered) {
  // A second prefix with a program of its own.
  test::TempDir second;
  test::MakePrefixDirs(second.Path());
  WineHive hive;
  ASSERT_TRUE(ParseWineRegistry(
                  "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
                  "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Other] "
                  "1700000000\n#time=1da1747c66d0000\n\"DisplayName\"=\"Other program\"\n",
                  hive)
                  .Understood());
  test::WriteFile(second / "system.reg", WriteWineRegistry(hive));
  std::vector<std::string> told;
  {
    TFormMain w(*system, Files());
    w.Services().tellUser = [&](const QString&, const QString& text) {
      told.push_back(text.toStdString());
    };
    w.SetPrefixes({{"Office", second.Path(), "Bottles", "win64"}});
    QMenu* menu = w.Menu("mnuPrefix");
    ASSERT_GE(menu->actions().size(), 3);  // this prefix, Office, -, Other folder...
    // A folder that is no prefix is refused with a message; the list stays.
    w.Services().chooseFolder = [&](const QString& title) {
      EXPECT_EQ(title.toStdString(), "Other folder...");
      return QString::fromStdString(dir / "drive_c");
    };
    QAction* other = nullptr;  // the menu's own: the list it replaced goes later
    for (QAction* item : menu->actions())
      if (item->objectName() == "actOtherPrefix") other = item;
    test::Choose(w, other);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
    // The other prefix: its programs, its name in the title and the status bar.
    QAction* office = nullptr;
    for (QAction* a : w.Menu("mnuPrefix")->actions())
      if (a->text().startsWith("Office")) office = a;
    ASSERT_NE(office, nullptr);
    test::Choose(w, office);
    EXPECT_EQ(Names(w), std::vector<std::string>{"Other program"});
    EXPECT_TRUE(w.windowTitle().endsWith("Office"));
    EXPECT_EQ(w.StatusPanelText(5).toStdString(), "");  // the title and chooser name it
    EXPECT_EQ(w.StatusPanelText(2).toStdString(), "All : 1");
    test::Choose(w, "actShowDetails");
    EXPECT_EQ(w.Details()->KeyLabel(false)->text().toStdString(),
              "HKEY_LOCAL_MACHINE\\" + kUninstall + "Other");
    w.close();
  }
  // The choice survives a restart, unless WINEPREFIX names another.
  const std::string last = LastShownPrefix(dir / "pgl.ini");
  EXPECT_EQ(PrefixToOpen(last, "", "/home/nobody"), second.Path());
  EXPECT_EQ(PrefixToOpen(last, "/x/y", "/home/nobody"), "/x/y");
  EXPECT_EQ(PrefixToOpen(LastShownPrefix(dir / "missing.ini"), "", "/home/nobody"),
            "/home/nobody/.wine");
  EXPECT_EQ(PrefixToOpen(dir / "not-a-prefix", "", "/home/nobody"), "/home/nobody/.wine");
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

// A confirmation is as wide as its longest line and as tall as its list, so nothing is cut;
// a list longer than the screen scrolls inside a dialog that fits it.
TEST(ConfirmDialogs, SizeToTheirContentUpToTheScreen) {
  struct Case {
    int names;
    int notes;
    bool scrolls;
  };
  for (const Case& c : {Case{10, 1, false}, Case{3, 300, true}}) {
    TFormUninstall dialog(nullptr);
    QStringList names, notes;
    for (int i = 0; i < c.names; ++i)
      names << QString("Tundra Weather Station %1 (~/.wine-third)").arg(i);
    for (int i = 0; i < c.notes; ++i)
      notes
          << QString("Program %1: there is no quiet uninstall command; nothing will be run").arg(i);
    dialog.SetPrograms(names, notes);
    dialog.show();
    QApplication::processEvents();
    auto* label = dialog.findChild<QLabel*>("lblPrograms");
    auto* area = dialog.findChild<QScrollArea*>("sbPrograms");
    ASSERT_NE(label, nullptr);
    ASSERT_NE(area, nullptr);
    int longest = 0;
    for (const QString& line : label->text().split('\n'))
      longest = std::max(longest, label->fontMetrics().horizontalAdvance(line));
    EXPECT_GE(label->width(), longest) << c.names;  // no line wraps or is cut
    EXPECT_EQ(area->verticalScrollBar()->maximum() > 0, c.scrolls) << c.names;
    const QRect room = dialog.screen()->availableGeometry();
    EXPECT_LE(dialog.frameGeometry().height(), room.height()) << c.names;
    EXPECT_LE(dialog.frameGeometry().width(), room.width()) << c.names;
  }
}

}  // namespace
}  // namespace pgl
