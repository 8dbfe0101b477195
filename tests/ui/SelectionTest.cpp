// The selection and the panel as the list changes under them (a prune, a refresh, a sort), and
// what an uninstall that left its program behind tells the user.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>

#include "WindowTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/LeftoversDialog.h"
#include "ui/windows/RestoreDialog.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {
namespace {

using test::LabelText;
using test::MainWindowTest;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::vector<std::string> Selected(TFormMain& w) {
  std::vector<std::string> names;
  for (const int row : w.ListView()->SelectedRows()) names.push_back(w.Model()->CellText(row, 0));
  return names;
}

// An uninstaller that ends at once having done nothing.
class IdleRunner : public ProcessRunner {
 public:
  RunOutcome RunAndWait(const std::string& command, const std::function<bool()>&) override {
    commands.push_back(command);
    if (window) shownWhileRunning.push_back(window->isVisible());
    return {};
  }
  bool CanRun(PeMachine) override { return true; }
  bool WaitUntilRegistrySaved(const std::function<bool(int)>&) override { return true; }
  std::vector<std::string> commands;
  QWidget* window = nullptr;
  std::vector<bool> shownWhileRunning;
};

TEST_F(MainWindowTest, OnlyTheGoneRowsLeaveTheSelection) {
  TFormMain w(*system, Files());
  w.Action("actSystemComponentsVisible")->trigger();  // Alpha, Broken, Core
  ASSERT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken", "Core"}));
  w.ListView()->SelectRows({1, 2}, 2);
  // A sort keeps the selected entries selected, wherever they go.
  w.lvColumnClick(0);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Core", "Broken", "Alpha"}));
  EXPECT_EQ(Selected(w), (std::vector<std::string>{"Core", "Broken"}));
  // Another program removes Broken: it leaves, Core stays selected and shown.
  {
    WinePrefixRegistry other(dir.Path());
    ASSERT_TRUE(RegRemoveKey(other, kHkeyLocalMachine, kUninstall + "Broken"));
  }
  w.tmCheckRegTimer();
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Core", "Alpha"}));
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Core"});
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Core");
  // The selected entry itself goes: the row that took its place is selected and shown.
  {
    WinePrefixRegistry other(dir.Path());
    ASSERT_TRUE(RegRemoveKey(other, kHkeyLocalMachine, kUninstall + "Core"));
  }
  w.tmCheckRegTimer();
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
  // A refresh keeps it too.
  w.Action("actRefresh")->trigger();
  EXPECT_EQ(Selected(w), std::vector<std::string>{"Alpha"});
  // The last row goes: nothing is selected, and the panel shows nothing.
  {
    WinePrefixRegistry other(dir.Path());
    ASSERT_TRUE(RegRemoveKey(other, kHkeyLocalMachine, kUninstall + "Alpha"));
  }
  w.tmCheckRegTimer();
  EXPECT_EQ(w.Model()->rowCount(), 0);
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "");
  EXPECT_TRUE(w.Panel()->Icon().isNull());
}

TEST_F(MainWindowTest, SelectAllAndInvertShowTheFirstSelectedRow) {
  TFormMain w(*system, Files());
  w.List()->selectRow(1);
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Broken");
  w.Action("actSelectAll")->trigger();
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
  EXPECT_FALSE(w.Panel()->Icon().isNull());
  w.Action("actInvertSelection")->trigger();
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "");
  w.Action("actInvertSelection")->trigger();
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
}

TEST_F(MainWindowTest, AnUninstallThatLeavesItsProgramSaysSo) {
  auto* runner = new IdleRunner;
  system->runner.reset(runner);
  for (const bool polish : {false, true}) {
    TFormMain w(*system, Files());
    w.Services().confirm = [](TConfirmDialog&) { return true; };
    w.Action(polish ? "actSetLangPL" : "actSetLangEN")->trigger();
    w.show();
    runner->window = &w;
    w.List()->selectRow(0);
    w.Action("actUninstall")->trigger();
    // The window steps aside while the uninstaller runs, and is back once it ended.
    EXPECT_EQ(runner->shownWhileRunning.back(), false);
    EXPECT_TRUE(w.isVisible());
    runner->window = nullptr;
    EXPECT_EQ(w.Errors().ErrorCount(), 1);
    EXPECT_NE(
        w.Errors().Text().find(polish ? "Nadal zainstalowany: Alpha" : "Still installed: Alpha"),
        std::string::npos)
        << w.Errors().Text();
    EXPECT_TRUE(w.ErrorsWindow()->isVisible());
    // Alpha is still listed and still selected.
    EXPECT_EQ(Selected(w), std::vector<std::string>{"Alpha"});
    w.ErrorsWindow()->hide();
  }
  EXPECT_EQ(runner->commands, (std::vector<std::string>(2, "C:\\Apps\\a.exe")));
}

// Unattended: a program with no quiet uninstall command is not run, and the window says so.
TEST_F(MainWindowTest, UninstallQuietlyRunsNothingThatWouldShowAWindow) {
  auto* runner = new IdleRunner;
  system->runner.reset(runner);
  TFormMain w(*system, Files());
  QString confirmed;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    confirmed = dialog.ProgramsText();
    return true;
  };
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  w.List()->selectRow(0);
  QTest::keyClick(w.List(), Qt::Key_U, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(confirmed.contains("Alpha: it has no quiet uninstall command"))
      << confirmed.toStdString();
  EXPECT_TRUE(runner->commands.empty());
  EXPECT_NE(w.Errors().Text().find("There is no quiet uninstall command"), std::string::npos)
      << w.Errors().Text();
}

// Ctrl+Z gives back what the last removal deleted, from memory, into the prefix's file; not
// once something made the key again.
TEST_F(MainWindowTest, UndoPutsBackTheLastRemoval) {
  TFormMain w(*system, Files());
  const std::string before = test::ReadFile(dir / "system.reg");
  w.Services().confirm = [](TConfirmDialog&) { return true; };
  std::vector<std::string> told;
  w.Services().tellUser = [&](const QString&, const QString& text) {
    told.push_back(text.toStdString());
  };
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  EXPECT_FALSE(w.Action("actUndoRemove")->isEnabled());
  w.List()->selectRow(0);
  w.Action("actRemove")->trigger();
  ASSERT_EQ(Names(w), std::vector<std::string>{"Broken"});
  ASSERT_TRUE(w.Action("actUndoRemove")->isEnabled());
  QTest::keyClick(w.List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_EQ(test::ReadFile(dir / "system.reg"), before);
  EXPECT_FALSE(w.Action("actUndoRemove")->isEnabled());
  // Removed again, then made again by another program: the undo refuses and says why.
  w.List()->selectRow(0);
  w.Action("actRemove")->trigger();
  {
    WinePrefixRegistry other(dir.Path());
    ASSERT_TRUE(RegWriteString(other, kHkeyLocalMachine, kUninstall + "Alpha", "DisplayName", "X"));
  }
  w.Action("actUndoRemove")->trigger();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find("exists again"), std::string::npos) << told[0];
}

// File > Restore from backup, reached by keys: the plan names each program, and after the user
// agrees the removed programs are listed again.
TEST_F(MainWindowTest, ABackupRestoresTheRemovedProgramsFromTheFileMenu) {
  TFormMain w(*system, Files());
  const std::string backup = dir / "backup.reg";
  w.Services().confirm = [](TConfirmDialog&) { return true; };
  w.Services().chooseSaveFile = [&](const QString&, const QString&, const QString&) {
    return QString::fromStdString(backup);
  };
  w.Services().chooseOpenFile = [&](const QString&, const QString& filter) {
    EXPECT_TRUE(filter.contains("*.reg"));
    return QString::fromStdString(backup);
  };
  QStringList rows;
  QString summary;
  w.Services().confirmRestore = [&](RestoreDialog& dialog) {
    rows = dialog.RowTexts();
    summary = dialog.Summary();
    return dialog.CanRestore();
  };
  w.show();
  QApplication::setActiveWindow(&w);
  w.Action("actRegBackup")->trigger();
  w.Action("actSelectAll")->trigger();
  w.Action("actRemove")->trigger();
  ASSERT_TRUE(Names(w).empty());
  // Alt+F opens the File menu on its first item; the next one is the restore.
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_F, Qt::AltModifier);
  QMenu* file = w.Menu("mnuFile");
  ASSERT_TRUE(file->isVisible());
  ASSERT_EQ(file->activeAction(), w.Action("actRegBackup"));
  QTest::keyClick(file, Qt::Key_Down);
  ASSERT_EQ(file->activeAction(), w.Action("actRestore"));
  QTest::keyClick(file, Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(summary.toStdString(), "Added back: 2, replaced: 0, unchanged: 1, refused: 0.");
  ASSERT_EQ(rows.size(), 3);
  EXPECT_TRUE(rows[0].startsWith("Added back\tAlpha\tHKLM\\SOFTWARE\\")) << rows[0].toStdString();
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_TRUE(RegKeyExists(*system->registry, kHkeyLocalMachine, kUninstall + "Alpha"));
}

// Ctrl+L in the list: the selected program is still installed, so its leftovers are a preview:
// no checkbox, a warning, and Enter closes the window without moving anything.
TEST_F(MainWindowTest, CtrlLPreviewsTheLeftoversOfAnInstalledProgram) {
  test::MakeWindowsFile(dir.Path(), "C:\\Games\\Gamma\\gamma.exe");
  for (const auto& [name, value] : {std::pair<std::string, std::string>{"DisplayName", "Gamma"},
                                    {"UninstallString", "C:\\Games\\Gamma\\gamma.exe"}})
    ASSERT_TRUE(
        RegWriteString(*system->registry, kHkeyLocalMachine, kUninstall + "Gamma", name, value));
  TFormMain w(*system, Files());
  QStringList rows;
  bool warned = false;
  int result = -1;
  w.Services().confirmLeftovers = [&](LeftoversDialog& dialog) {
    rows = dialog.RowTexts();
    dialog.show();
    auto* warning = dialog.findChild<QLabel*>("lblStillInstalled");
    warned = warning && warning->isVisible() && warning->text().contains("Gamma");
    QTest::keyClick(dialog.findChild<QTreeWidget*>("lvLeftovers"), Qt::Key_Return);
    result = dialog.result();
    return result == QDialog::Accepted;
  };
  std::vector<std::string> told;
  w.Services().tellUser = [&](const QString&, const QString& text) {
    told.push_back(text.toStdString());
  };
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  // Alpha shares its folder with another program: it has none of its own to offer.
  w.List()->selectRow(0);
  QTest::keyClick(w.List(), Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(told, std::vector<std::string>{"No leftovers were found."});
  EXPECT_TRUE(rows.isEmpty());
  w.List()->clearSelection();
  w.List()->selectRow(2);
  ASSERT_EQ(w.Model()->CellText(2, 0), "Gamma");
  QTest::keyClick(w.List(), Qt::Key_L, Qt::ControlModifier);
  ASSERT_EQ(rows.size(), 3) << rows.join("\n").toStdString();
  EXPECT_EQ(rows[0], "Gamma (still installed)");
  EXPECT_EQ(rows[1], "[ ] sure, folder, C:\\Games\\Gamma");
  EXPECT_EQ(rows[2], "[ ] sure, folder, C:\\Games");
  EXPECT_TRUE(warned);
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(std::filesystem::exists(dir / "drive_c/Games/Gamma/gamma.exe"));
}

// Action > Menu entries of deleted prefixes, reached by keys: a menu entry Wine made for a prefix
// that no longer exists is offered and moved to the trash; the prefix shown keeps its own.
TEST_F(MainWindowTest, MenuEntriesOfDeletedPrefixesGoToTheTrash) {
  const std::string home = dir / "home";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", home.c_str(), 1);
  const std::string apps = home + "/.local/share/applications/wine/Programs";
  test::MakeDirs(apps);
  for (const auto& [name, prefix] :
       {std::pair<std::string, std::string>{"Gone", dir / "deleted"}, {"Here", dir.Path()}})
    test::WriteFile(apps + "/" + name + ".desktop",
                    "[Desktop Entry]\nExec=env WINEPREFIX=\"" + prefix + "\" wine C:\\\\a.lnk\n");
  TFormMain w(*system, Files());
  QStringList rows;
  w.Services().confirmLeftovers = [&](LeftoversDialog& dialog) {
    rows = dialog.RowTexts();
    return true;
  };
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_A, Qt::AltModifier);
  QMenu* action = w.Menu("mnuAction");
  ASSERT_TRUE(action->isVisible());
  QTest::keyClick(action, Qt::Key_Up);
  ASSERT_EQ(action->activeAction(), w.Action("actDesktopEntries"));
  QTest::keyClick(action, Qt::Key_Return);
  QApplication::processEvents();
  ::setenv("HOME", savedHome.c_str(), 1);
  ASSERT_EQ(rows.size(), 2) << rows.join("\n").toStdString();
  EXPECT_EQ(rows[0].toStdString(), "Deleted prefixes: " + dir / "deleted");
  EXPECT_EQ(rows[1],
            "[x] sure, desktop entry, ~/.local/share/applications/wine/Programs/Gone.desktop");
  EXPECT_FALSE(std::filesystem::exists(apps + "/Gone.desktop"));
  EXPECT_TRUE(std::filesystem::exists(apps + "/Here.desktop"));
  EXPECT_TRUE(std::filesystem::exists(home + "/.local/share/Trash/info/Gone.desktop.trashinfo"));
}

// An uninstaller that cannot run anything: the prefix's own Wine is missing.
class NoWineRunner : public IdleRunner {
 public:
  std::string WhyNothingRuns(bool) const override { return "the bottle's runner is not installed"; }
};

TEST_F(MainWindowTest, ConfirmationsNameTheProgramsAndWhatWillNotRun) {
  test::MakeWindowsFile(dir.Path(), "C:\\Apps\\a.exe");
  system->runner.reset(new NoWineRunner);
  TFormMain w(*system, Files());
  QString shown;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    shown = dialog.ProgramsText();
    return false;
  };
  w.Action("actSelectAll")->trigger();
  w.Action("actUninstall")->trigger();
  EXPECT_TRUE(shown.contains("Alpha")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("Broken")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("Alpha: nothing will be run: the bottle's runner is not installed"))
      << shown.toStdString();
  EXPECT_EQ(w.Errors().ErrorCount(), 0);  // cancelled: nothing started
  w.Action("actSetLangPL")->trigger();
  w.Action("actRemove")->trigger();
  EXPECT_TRUE(shown.contains("Alpha") && shown.contains("Broken")) << shown.toStdString();
  EXPECT_FALSE(shown.contains("Wine")) << shown.toStdString();  // removing runs nothing
  EXPECT_EQ(w.Model()->rowCount(), 2);
}

}  // namespace
}  // namespace pgl
