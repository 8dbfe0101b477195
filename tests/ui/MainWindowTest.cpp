// The main window on a temporary prefix, under the offscreen platform: rows, colours, header
// sorting with the arrow, the language switch in place, removal through the engine.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "inventory/EntryList.h"
#include "platform/IconReader.h"
#include "platform/ManagedSystem.h"
#include "platform/wine/WineServer.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "registry/WineRegFile.h"
#include "ui/main/CommandImages.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/InfoPanel.h"
#include "ui/main/MessageBar.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormSearch.h"

#include "WindowTestSupport.h"

namespace pgl {
namespace {

using test::LabelText;
using test::MainWindowTest;
using test::RecordingDesktop;

TEST_F(MainWindowTest, ListSortsColoursAndSwitchesLanguage) {
  TFormMain w(*system, Files());
  // The first start hides system components and shows the invalid entry, known for invalid (its
  // colour, the count) once the list is painted: the uninstallers are looked for after that.
  ShowUntilRecorded(w);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_EQ(w.Model()->columnCount(), 22);
  EXPECT_TRUE(w.List()->selectionModel()->isRowSelected(0, {}));
  const QModelIndex broken = w.Model()->index(1, 0);
  EXPECT_EQ(w.Model()->data(broken, Qt::ForegroundRole).value<QBrush>().color(), QColor("#FF0000"));
  EXPECT_EQ(w.Model()->data(w.Model()->index(0, 14), Qt::ForegroundRole).value<QBrush>().color(),
            QColor("#0000FF"));
  test::Choose(w, "actSystemComponentsVisible");
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken", "Core"}));
  // A header click flips the direction (the first one too) and moves the arrow.
  w.lvColumnClick(0);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Core", "Broken", "Alpha"}));
  EXPECT_EQ(w.Model()->SortArrowColumn(), 0);
  const auto arrow = [&] {
    return w.Model()->headerData(0, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().cacheKey();
  };
  EXPECT_EQ(arrow(), SortArrow(false).cacheKey());
  w.lvColumnClick(0);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken", "Core"}));
  EXPECT_EQ(arrow(), SortArrow(true).cacheKey());
  EXPECT_FALSE(w.Model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
  // Polish: headers change in place. Wine keeps no usage records: size and use are not known,
  // left blank rather than shown as 0.
  EXPECT_EQ(w.Model()->CellText(0, 2), "");
  EXPECT_EQ(w.Model()->CellText(0, 4), "");
  test::Choose(w, "actSetLangPL");
  EXPECT_EQ(w.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Nazwa");
  // Qt's own buttons speak Polish too, and English again after.
  const auto yes = [] {
    QMessageBox box(QMessageBox::Question, "Purgelet", "?", QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text().toStdString();
  };
  EXPECT_EQ(yes(), "&Tak");
  // A screen reader names the list, the panel's icon and the search box in the language too.
  EXPECT_EQ(w.List()->accessibleName(), "Zainstalowane programy");
  EXPECT_EQ(w.findChild<QLabel*>("imgIconDetails")->accessibleName(), "Ikona programu");
  EXPECT_EQ(w.Search()->Text()->accessibleName(), "Tekst");
  EXPECT_EQ(w.findChild<QToolButton*>("btnCloseMessage")->accessibleName(),
            "Zamknij powiadomienie");
  EXPECT_EQ(w.findChild<QComboBox*>("cbPrefix")->accessibleName(), "Pokazywany prefiks");
  // The toolbar's groups: a separator after each, none inside Uninstall and Remove.
  QString groups;
  const auto* toolbar = w.findChild<QToolBar*>("tbMain");
  for (QAction* a : toolbar->actions())
    groups += a->isSeparator() ? QString("| ") : toolbar->widgetForAction(a)->objectName() + " ";
  EXPECT_EQ(
      groups.trimmed().toStdString(),
      "btnUninstall btnRemove | btnRefresh | btnSearch | btnDetails | btnViewStyle | cbPrefix");
  test::Choose(w, "actSetLangEN");
  EXPECT_EQ(yes(), "&Yes");
  test::Choose(w, "actSetLangPL");
  EXPECT_EQ(w.Model()->data(w.Model()->index(2, 1), Qt::BackgroundRole).value<QBrush>().color(),
            QColor("#B3B9C4"));
  if (const char* shot = std::getenv("PGL_SCREENSHOT_DIR"))
    w.grab().save(QString(shot) + "/main-polish.png");
  // The view styles, with the pairing of "List" and "Small icons"; the view button
  // steps large icons, small icons, list, details.
  test::Choose(w, "actViewList");
  EXPECT_EQ(ViewStyleNumber(w.CurrentViewStyle()), 1);
  test::Choose(w, "actViewSmallIcons");
  EXPECT_EQ(ViewStyleNumber(w.CurrentViewStyle()), 2);
  test::Choose(w, "actViewDetails");
  std::vector<int> cycle;
  for (int i = 0; i < 4; ++i) {
    test::Choose(w, "actView");
    cycle.push_back(ViewStyleNumber(w.CurrentViewStyle()));
  }
  EXPECT_EQ(cycle, (std::vector<int>{0, 2, 1, 3}));
  test::Choose(w, "actViewLargeIcons");
  EXPECT_TRUE(w.Action("actViewLargeIcons")->isChecked());
  w.close();
  // Closing wrote the settings; a new window starts in Polish with the same sort and style.
  TFormMain again(*system, Files());
  EXPECT_EQ(again.language, Language::Polish);
  EXPECT_EQ(again.Model()->rowCount(), 3);
  EXPECT_EQ(ViewStyleNumber(again.CurrentViewStyle()), 0);
}

// The records of the program's starts are its own: the prefix it shows is not written, byte for
// byte, and its last use stays what it was.
// A screen reader finds a name for every control of the window, in either language, Qt's own
// included: a window too narrow for the toolbar shows the button for the hidden ones, and no
// caption cut.
TEST_F(MainWindowTest, EveryControlHasANameForScreenReaders) {
  TFormMain w(*system, Files());
  w.resize(420, 400);
  w.show();
  QApplication::processEvents();
  for (const char* lang : {"actSetLangEN", "actSetLangPL"}) {
    SCOPED_TRACE(lang);
    test::Choose(w, lang);
    int controls = 0;
    for (QWidget* widget : w.findChildren<QWidget*>()) {
      if (!widget->isVisibleTo(&w)) continue;
      QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
      if (!face) continue;
      switch (face->role()) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
        case QAccessible::EditableText:
          ++controls;
          EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty())
              << widget->metaObject()->className() << " " << widget->objectName().toStdString();
          break;
        default:
          break;
      }
    }
    EXPECT_GE(controls, 7);  // the toolbar's buttons, the chooser and the button for the rest
    // No caption is cut: what does not fit goes behind that button.
    for (auto* button : w.findChild<QToolBar*>("tbMain")->findChildren<QToolButton*>())
      if (button->isVisibleTo(&w) && !button->text().isEmpty()) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
      }
  }
  const auto* more = w.findChild<QToolButton*>("qt_toolbar_ext_button");
  ASSERT_NE(more, nullptr);
  EXPECT_TRUE(more->isVisibleTo(&w));
  EXPECT_EQ(more->accessibleName(), "Więcej przycisków paska narzędzi");
}

TEST_F(MainWindowTest, StartUpLeavesItsRecordsAndTheFirstBackupOnce) {
  const std::string systemBefore = test::ReadFile((dir / "system.reg"));
  const std::string userBefore = test::ReadFile((dir / "user.reg"));
  const auto backups = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      n += e.path().filename().string().starts_with("first_registry_backup_");
    return n;
  };
  const std::string key = "Software\\Tervask\\Purgelet";
  {
    TFormMain w(*system, Files());
    EXPECT_FALSE(w.StartRecorded());  // not before the list is on screen
    ShowUntilRecorded(w);
    w.close();
  }
  EXPECT_EQ(backups(), 1);
  EXPECT_EQ(test::ReadFile((dir / "system.reg")), systemBefore);
  EXPECT_EQ(test::ReadFile((dir / "user.reg")), userBefore);
  EXPECT_FALSE(RegKeyExists(*system->registry, kHkeyCurrentUser, key));
  {
    const auto record = OpenProgramRecord(Files().dir);
    ASSERT_NE(record, nullptr);
    TRegistry reg(*record);
    reg.SetRootKey(kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenKeyReadOnly(key));
    EXPECT_EQ(reg.ReadInteger("RunCounter"), 1);
    EXPECT_EQ(reg.ReadString("ExePath"), "Z:\\opt\\purgelet\\pgl");
    EXPECT_EQ(reg.ReadString("Version"), "1.0");
    EXPECT_FALSE(reg.ReadString("FirstRun").empty());
    reg.SetRootKey(kHkeyLocalMachine);
    ASSERT_TRUE(
        reg.OpenKeyReadOnly("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pgl.exe"));
    EXPECT_EQ(reg.ReadString(""), "Z:\\opt\\purgelet\\pgl");
    EXPECT_EQ(reg.ReadString("Path"), "Z:\\opt\\purgelet");
  }
  {
    TFormMain second(*system, Files());  // the settings file exists now: no new backup
    ShowUntilRecorded(second);
  }
  EXPECT_EQ(backups(), 1);
  const auto record = OpenProgramRecord(Files().dir);
  TRegistry reg(*record);
  reg.SetRootKey(kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadInteger("RunCounter"), 2);
  EXPECT_EQ(test::ReadFile((dir / "user.reg")), userBefore);
}

// The list is painted before its icons' files are looked for (a look-up or more per entry):
// they are found once it is on screen, and the rows and the panel then draw them.
TEST_F(MainWindowTest, IconFilesAreLookedForOnceTheListIsOnScreen) {
  TFormMain w(*system, Files());
  const auto alpha = [&]() -> const TUninstallInfo& {
    const std::vector<std::string> names = Names(w);
    const auto row = std::find(names.begin(), names.end(), "Alpha") - names.begin();
    return w.Collection()->GetItem(w.Model()->ItemIndex(static_cast<int>(row))).UninstallInfo;
  };
  EXPECT_FALSE(alpha().HasIcon);
  ShowUntilRecorded(w);
  EXPECT_TRUE(alpha().HasIcon);
  EXPECT_EQ(alpha().IconFile, "C:\\Apps\\a.exe");
}

// Wine runs in the prefix at start-up: the bar says its registry cannot be changed now, and why;
// once Wine has gone, the next check takes the note away. The start is recorded all the same,
// in the program's own record.
TEST_F(MainWindowTest, TheReadOnlyNoteGoesWhenWineLeavesThePrefix) {
  const std::string serverDir = WineServerDirectory(dir.Path());
  ASSERT_FALSE(serverDir.empty());
  test::MakeDirs(serverDir);
  test::WriteFile(serverDir + "/lock", "");
  TFormMain w(*system, Files());
  {
    const test::HeldLock server(serverDir + "/lock");
    ShowUntilRecorded(w);
    EXPECT_TRUE(w.Messages()->Text().startsWith("The registry of this prefix cannot be changed"))
        << w.Messages()->Text().toStdString();
    w.tmCheckRegTimer();  // Wine still runs: the note stays
    EXPECT_FALSE(w.Messages()->Text().isEmpty());
  }
  w.tmCheckRegTimer();
  EXPECT_TRUE(w.Messages()->Text().isEmpty()) << w.Messages()->Text().toStdString();
  const auto record = OpenProgramRecord(Files().dir);
  TRegistry reg(*record);
  reg.SetRootKey(kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Tervask\\Purgelet"));
  EXPECT_EQ(reg.ReadInteger("RunCounter"), 1);
  EXPECT_FALSE(RegKeyExists(*system->registry, kHkeyCurrentUser, "Software\\Tervask\\Purgelet"));
  w.close();
}

TEST_F(MainWindowTest, RemoveTakesTheSelectedRowsOut) {
  TFormMain w(*system, Files());
  w.List()->selectRow(1);  // Broken
  std::vector<std::string> told;
  w.Services().tellUser = [&](const QString&, const QString& text) {
    told.push_back(text.toStdString());
  };
  std::vector<std::string> asked;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    asked.push_back(dialog.objectName().toStdString());
    return true;
  };
  w.actRemoveExecute();
  EXPECT_EQ(asked, std::vector<std::string>{"TFormRemove"});
  EXPECT_TRUE(told.empty()) << told.front();
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha"}));
  EXPECT_FALSE(RegKeyExists(*system->registry, kHkeyLocalMachine,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Broken"));
}

TEST_F(MainWindowTest, PanelShowsTheSelectionAndActsOnClicks) {
  auto* desktop = new RecordingDesktop;
  system->desktop.reset(desktop);
  TFormMain w(*system, Files());
  std::vector<std::string> clipboard;
  w.Services().setClipboard = [&](const QString& text) { clipboard.push_back(text.toStdString()); };
  w.resize(900, 700);
  w.show();
  const std::string alphaKey =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha";
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
  EXPECT_EQ(LabelText(w, "lblUninstallKey"), alphaKey);
  // Alpha has no usage record: the line is empty, and hovering it says the size is not known.
  EXPECT_EQ(LabelText(w, "lblARPCacheKey"), "");
  EXPECT_EQ(w.Panel()->Label("lblARPCacheKey")->toolTip().toStdString(),
            "none: the size and the use are not known");
  EXPECT_EQ(LabelText(w, "lblUrlInfo"), "https://example.com");
  EXPECT_FALSE(w.Panel()->Icon().isNull());
  EXPECT_EQ(w.Panel()->Label("lblExeFile")->toolTip().toStdString(),
            "Right click = Copy to Clipboard\r\nCtrl + Left click = Explore directory");

  // Clicks: a web address opens, a key opens the editor, a right click copies (an empty
  // label too), an empty program file does nothing.
  QTest::mouseClick(w.Panel()->Label("lblUrlInfo"), Qt::LeftButton);
  QTest::mouseClick(w.Panel()->Label("lblUninstallKey"), Qt::LeftButton);
  QTest::mouseClick(w.Panel()->Label("lblUrlInfo"), Qt::RightButton);
  QTest::mouseClick(w.Panel()->Label("lblHelpLink"), Qt::RightButton);
  QTest::mouseClick(w.Panel()->Label("lblExeFile"), Qt::LeftButton);
  QTest::mouseClick(w.Panel()->Label("lblARPCacheKey"), Qt::LeftButton);
  EXPECT_EQ(desktop->opened,
            (std::vector<std::string>{"address https://example.com", "key " + alphaKey}));
  EXPECT_EQ(clipboard, (std::vector<std::string>{"https://example.com", ""}));

  // The key label follows the registry: once the key is gone, it stays empty.
  w.List()->selectRow(1);
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Broken");
  ASSERT_TRUE(RegRemoveKey(*system->registry, kHkeyLocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha"));
  w.List()->selectRow(0);
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
  EXPECT_EQ(LabelText(w, "lblUninstallKey"), "");
  // Nothing selected, nothing shown: the panel never speaks of an entry that is not selected.
  w.List()->clearSelection();
  EXPECT_TRUE(w.Panel()->Icon().isNull());
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "");
  EXPECT_EQ(w.StatusPanelText(1).toStdString(), "Selected : 0");

  // The panel cannot be squeezed to a pixel.
  const int total = w.Splitter()->sizes()[0] + w.Splitter()->sizes()[1];
  w.Splitter()->setSizes({total - 1, 1});
  EXPECT_GT(w.Splitter()->sizes()[1], 1);
}

TEST_F(MainWindowTest, StatusBarCountsInBothLanguages) {
  TFormMain w(*system, Files());
  ShowUntilRecorded(w);
  const auto texts = [&] {
    std::vector<std::string> t;
    for (int i = 0; i < 6; ++i) t.push_back(w.StatusPanelText(i).toStdString());
    return t;
  };
  EXPECT_EQ(texts(), (std::vector<std::string>{"Visible : 2", "Selected : 1", "All : 3",
                                               "Invalid : 1", "System components : 1", ""}));
  test::Choose(w, "actSelectAll");
  test::Choose(w, "actSetLangPL");
  EXPECT_EQ(texts(),
            (std::vector<std::string>{"Widoczne : 2", "Zaznaczone : 2", "Wszystkie : 3",
                                      "Nieprawidłowe : 1", "Komponenty systemowe : 1", ""}));
  EXPECT_EQ(w.Panel()->Label("lblDetHelpLink")->text().toStdString(), "Pomoc Online : ");
  EXPECT_EQ(w.Menu("mnuViewStyle")->title().toStdString(), "Typ listy");
  EXPECT_EQ(w.Button("btnUninstall")->text().toStdString(), "Odinstaluj");
  EXPECT_EQ(w.Button("btnUninstall")->toolTip().toStdString(), "Odinstaluj zaznaczone programy...");
}

TEST_F(MainWindowTest, MenusToolbarAndShortcutsAsLaidOut) {
  TFormMain w(*system, Files());
  const auto items = [&](const char* menu) {
    std::vector<std::string> names;
    for (QAction* a : w.Menu(menu)->actions())
      names.push_back(a->isSeparator() ? "-"
                      : a->menu()      ? a->menu()->objectName().toStdString()
                                       : a->objectName().toStdString());
    return names;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(items("mnuFile"), (V{"actRegBackup", "actRestore", "actReport", "-", "actExitApp"}));
  EXPECT_EQ(items("mnuAction"),
            (V{"actUninstall", "actUninstallQuietly", "actRemove", "actLeftovers", "-",
               "actUndoRemove", "-", "actDesktopEntries"}));
  EXPECT_EQ(items("mnuSearch"), (V{"actSearch", "actFindNext"}));
  EXPECT_EQ(items("mnuList"), (V{"actSelectAll", "actInvertSelection", "actCopySelected", "-",
                                 "actRefresh", "-", "mnuViewStyle"}));
  EXPECT_EQ(items("mnuView"),
            (V{"actShowDetails", "-", "actSystemComponentsVisible", "actInvalidVisible",
               "actShowOnlyInvalid", "-", "actShowHideBottomPanel", "actShowHideToolbar", "-",
               "actShowErrors"}));
  EXPECT_EQ(items("mnuHelp"), (V{"actHelp", "actAbout"}));
  EXPECT_EQ(items("popLv"),
            (V{"actUninstall", "actRemove", "-", "actShowDetails", "-", "actSelectAll",
               "actInvertSelection", "actCopySelected", "-", "popViewStyle"}));
  EXPECT_EQ(items("popView"),
            (V{"actViewLargeIcons", "actViewSmallIcons", "actViewList", "actViewDetails"}));
  EXPECT_EQ(items("popToolbar"), (V{"actGradient", "actToolbarList"}));
  const std::pair<const char*, const char*> shortcuts[] = {{"actRefresh", "F5"},
                                                           {"actUninstall", "Ctrl+U"},
                                                           {"actRemove", "Shift+Del"},
                                                           {"actSearch", "Ctrl+F"},
                                                           {"actFindNext", "F3"},
                                                           {"actReport", "Ctrl+S"},
                                                           {"actAbout", "Ctrl+F1"},
                                                           {"actHelp", "F1"},
                                                           {"actConfigure", "F12"},
                                                           {"actShowDetails", "Ctrl+D"},
                                                           {"actRegBackup", "Ctrl+R"},
                                                           {"actShowHideBottomPanel", "Ctrl+B"},
                                                           {"actSelectAll", "Ctrl+A"},
                                                           {"actInvertSelection", "Ctrl+I"},
                                                           {"actCopySelected", "Ctrl+C"},
                                                           {"actShowErrors", "F11"},
                                                           {"actEsc", "Esc"},
                                                           {"actShowHideToolbar", "Ctrl+T"}};
  for (const auto& [name, keys] : shortcuts)
    EXPECT_EQ(w.Action(name)->shortcut().toString().toStdString(), keys) << name;
  EXPECT_FALSE(w.Action("actConfigure")->isVisible());
  // The view button opens the view menu from its arrow; a click steps the style.
  EXPECT_EQ(w.Button("btnViewStyle")->menu(), w.Menu("popView"));
  w.Button("btnViewStyle")->click();
  EXPECT_EQ(ViewStyleNumber(w.CurrentViewStyle()), 0);
}

TEST_F(MainWindowTest, ActionsFollowTheSelectionAndTheOptions) {
  TFormMain w(*system, Files());
  const auto enabled = [&](std::initializer_list<const char*> names) {
    std::vector<bool> on;
    for (const char* name : names) on.push_back(w.Action(name)->isEnabled());
    return on;
  };
  EXPECT_EQ(enabled({"actUninstall", "actRemove", "actCopySelected"}),
            (std::vector<bool>{true, true, true}));
  EXPECT_TRUE(w.Button("btnRemove")->isEnabled());
  w.List()->clearSelection();
  EXPECT_EQ(enabled({"actUninstall", "actRemove", "actCopySelected"}),
            (std::vector<bool>{false, false, false}));
  EXPECT_FALSE(w.Button("btnRemove")->isEnabled());
  // "Show invalid items only" disables "Show invalid items", which keeps its check mark.
  EXPECT_TRUE(w.Action("actInvalidVisible")->isChecked());
  test::Choose(w, "actShowOnlyInvalid");
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Broken"}));
  EXPECT_FALSE(w.Action("actInvalidVisible")->isEnabled());
  EXPECT_TRUE(w.Action("actInvalidVisible")->isChecked());
  test::Choose(w, "actShowOnlyInvalid");
  test::Choose(w, "actInvalidVisible");
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha"}));
  // Toolbar and panel toggles, remembered by the settings file.
  test::Choose(w, "actGradient");
  test::Choose(w, "actToolbarList");
  test::Choose(w, "actShowHideBottomPanel");
  EXPECT_FALSE(w.Action("actGradient")->isChecked());
  EXPECT_TRUE(w.Action("actToolbarList")->isChecked());
  EXPECT_FALSE(w.Action("actShowHideBottomPanel")->isChecked());
  w.close();
  const std::string ini = test::ReadFile(dir / "pgl.ini");
  for (const char* line :
       {"NoGradient=1", "ToolbarList=1", "BottomPanelVisible=0", "ShowInvalidItems=0"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
  TFormMain again(*system, Files());
  EXPECT_FALSE(again.ToolbarGradient());
  EXPECT_TRUE(again.ToolbarList());
  EXPECT_FALSE(again.Action("actShowHideBottomPanel")->isChecked());
}

// A start whose settings filter the list by validity looks for the uninstallers before the list
// is first shown, not after: the list is right from the start.
TEST_F(MainWindowTest, AStartFilteredByValidityListsRightBeforeItIsPainted) {
  const struct {
    const char* settings;
    std::vector<std::string> names;
  } cases[] = {
      {"ShowInvalidItems=0", {"Alpha"}},
      {"ShowOnlyInvalidItems=1", {"Broken"}},
      {"ShowInvalidItems=1", {"Alpha", "Broken"}},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir / "pgl.ini", std::string("[MAIN]\r\n") + c.settings + "\r\n");
    TFormMain w(*system, Files());
    EXPECT_EQ(Names(w), c.names) << c.settings;
  }
}

TEST_F(MainWindowTest, CopyInvertAndEsc) {
  TFormMain w(*system, Files());
  QString copied;
  w.Services().setClipboard = [&](const QString& text) { copied = text; };
  test::Choose(w, "actSelectAll");
  test::Choose(w, "actCopySelected");
  const QStringList lines = copied.split("\r\n");
  ASSERT_EQ(lines.size(), 3);  // two lines, each ending in CR LF
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[0].split('\t').size(), 22);
  EXPECT_TRUE(lines[0].startsWith("Alpha\t"));
  EXPECT_TRUE(lines[1].startsWith("Broken\t"));
  w.List()->selectRow(0);
  test::Choose(w, "actInvertSelection");
  test::Choose(w, "actCopySelected");
  EXPECT_TRUE(copied.startsWith("Broken\t"));
  EXPECT_EQ(copied.count("\r\n"), 1);
  // Esc asks; No keeps the window, Yes closes it as Exit does (the settings are written).
  w.show();
  std::vector<std::string> asked;
  bool answer = false;
  w.Services().ask = [&](const QString& question) {
    asked.push_back(question.toStdString());
    return answer;
  };
  test::Choose(w, "actEsc");
  EXPECT_TRUE(w.isVisible());
  answer = true;
  test::Choose(w, "actEsc");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(asked, (std::vector<std::string>{"Close application?", "Close application?"}));
  EXPECT_TRUE(std::filesystem::exists(dir / "pgl.ini"));
}

// File > Save report (Alt, F, then its letter): the report is written and a notice says where.
TEST_F(MainWindowTest, ASavedReportIsTold) {
  TFormMain w(*system, Files());
  const std::string report = dir / "report.html";
  w.Services().chooseSaveFile = [&](const QString&, const QString&, const QString&) {
    return QString::fromStdString(report);
  };
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_F, Qt::AltModifier);
  QMenu* file = w.Menu("mnuFile");
  ASSERT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 2000));
  QAction* item = w.Action("actReport");
  file->setActiveAction(item);
  QTest::keyClick(file, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(report); }, 2000));
  EXPECT_NE(test::ReadFile(report).find("Alpha"), std::string::npos);
  EXPECT_TRUE(w.Messages()->Text().contains(QString::fromStdString("Report saved to " + report)))
      << w.Messages()->Text().toStdString();
}

TEST_F(MainWindowTest, SaveIconWritesAnIconFileNamedAfterTheEntry) {
  TFormMain w(*system, Files());
  std::vector<std::string> suggested;
  QString answer;
  w.Services().chooseSaveFile = [&](const QString&, const QString& name, const QString&) {
    suggested.push_back(name.toStdString());
    return answer;
  };
  w.popSaveIconClick();  // cancelled: nothing written
  answer = QString::fromStdString(dir / "out.ico");
  w.popSaveIconClick();
  w.List()->clearSelection();
  w.popSaveIconClick();  // nothing selected: no dialog
  EXPECT_EQ(suggested, (std::vector<std::string>{"Alpha.ico", "Alpha.ico"}));
  IconReader reader(test::ReadFile(dir / "out.ico"));
  ASSERT_EQ(reader.GroupCount(), 1u);
  const auto image = reader.Extract(0, false);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 32);
}

}  // namespace
}  // namespace pgl
