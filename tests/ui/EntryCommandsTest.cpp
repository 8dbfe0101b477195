// The window's commands on the chosen programs: uninstall (and quietly), remove and undo, restore
// from a backup, and the confirmations that name what will and will not run.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>

#include "WindowTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "ui/main/MessageBar.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/LeftoversDialog.h"
#include "ui/windows/RestoreDialog.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {
namespace {

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

TEST_F(MainWindowTest, AnUninstallThatLeavesItsProgramSaysSo) {
  auto* runner = new IdleRunner;
  system->runner.reset(runner);
  for (const bool polish : {false, true}) {
    TFormMain w(*system, Files());
    w.Services().confirm = [](TConfirmDialog&) { return true; };
    test::Choose(w, polish ? "actSetLangPL" : "actSetLangEN");
    w.show();
    runner->window = &w;
    w.List()->selectRow(0);
    test::Choose(w, "actUninstall");
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
  QStringList questions;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    confirmed = dialog.ProgramsText();
    questions << dialog.findChild<QLabel*>("lblInfo1")->text();
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
  // The question says it is the quiet one; the plain uninstall's does not.
  w.ErrorsWindow()->hide();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(questions, (QStringList{"Uninstalling selected applications quietly.",
                                    "Uninstalling selected applications."}));
}

// Remove says what it does before and after: its question that registry keys are deleted and
// nothing run, its notice how many went, with an Undo button that puts them back. One notice at
// a time, under the list: the rows do not move when it shows.
TEST_F(MainWindowTest, RemoveOffersUndoInItsNotice) {
  TFormMain w(*system, Files());
  QString what;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    what = dialog.findChild<QLabel*>("lblWhat")->text();
    return true;
  };
  w.resize(700, 500);
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  w.List()->selectRow(0);
  QWidget* rows = w.List()->viewport();
  const QPoint top = rows->mapTo(&w, QPoint(0, 0));
  QTest::keyClick(w.List(), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_TRUE(
      what.startsWith("Their registry entries (Uninstall and ARPCache keys) are deleted; "
                      "no uninstaller runs"))
      << what.toStdString();
  ASSERT_EQ(Names(w), std::vector<std::string>{"Broken"});
  EXPECT_EQ(w.Messages()->Text(), "Entries removed from the registry: 1");
  EXPECT_EQ(w.Messages()->ActionText(), "Undo");
  QApplication::processEvents();
  EXPECT_EQ(rows->mapTo(&w, QPoint(0, 0)), top);
  auto* undo = w.Messages()->findChild<QPushButton*>("btnMessageAction");
  undo->setFocus();
  QTest::keyClick(undo, Qt::Key_Space);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_EQ(w.Messages()->Text(), "Programs put back: 1");
  EXPECT_EQ(w.Messages()->ActionText(), "");
  // Notices replace one another: the bar never grows.
  const int tall = w.Messages()->height();
  for (const char* text : {"one", "two", "three"}) w.Messages()->Show(text);
  QApplication::processEvents();
  EXPECT_EQ(w.Messages()->Text(), "three");
  EXPECT_EQ(w.Messages()->height(), tall);
  EXPECT_EQ(rows->mapTo(&w, QPoint(0, 0)), top);
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
  test::Choose(w, "actRemove");
  ASSERT_EQ(Names(w), std::vector<std::string>{"Broken"});
  ASSERT_TRUE(w.Action("actUndoRemove")->isEnabled());
  QTest::keyClick(w.List(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_EQ(w.Messages()->Text(), "Programs put back: 1");
  EXPECT_EQ(test::ReadFile(dir / "system.reg"), before);
  EXPECT_FALSE(w.Action("actUndoRemove")->isEnabled());
  // Removed again, then made again by another program: the undo refuses and says why.
  w.List()->selectRow(0);
  test::Choose(w, "actRemove");
  {
    WinePrefixRegistry other(dir.Path());
    ASSERT_TRUE(RegWriteString(other, kHkeyLocalMachine, kUninstall + "Alpha", "DisplayName", "X"));
  }
  test::Choose(w, "actUndoRemove");
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
  test::Choose(w, "actRegBackup");
  // Each command that ends without a question says what it did in the message bar.
  EXPECT_TRUE(w.Messages()->Text().contains(QString::fromStdString("Backup saved to " + backup)))
      << w.Messages()->Text().toStdString();
  test::Choose(w, "actSelectAll");
  test::Choose(w, "actRemove");
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
  EXPECT_TRUE(
      w.Messages()->Text().contains(QString::fromStdString("Programs restored: 2, from " + backup)))
      << w.Messages()->Text().toStdString();
}

// An uninstaller that cannot run anything: the prefix's own Wine is missing.
class NoWineRunner : public IdleRunner {
 public:
  std::string WhyNothingRuns(Language) const override {
    return "the bottle's runner is not installed";
  }
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
  test::Choose(w, "actSelectAll");
  test::Choose(w, "actUninstall");
  EXPECT_TRUE(shown.contains("Alpha")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("Broken")) << shown.toStdString();
  EXPECT_TRUE(shown.contains("Alpha: nothing will be run: the bottle's runner is not installed"))
      << shown.toStdString();
  EXPECT_EQ(w.Errors().ErrorCount(), 0);  // cancelled: nothing started
  test::Choose(w, "actSetLangPL");
  test::Choose(w, "actRemove");
  EXPECT_TRUE(shown.contains("Alpha") && shown.contains("Broken")) << shown.toStdString();
  EXPECT_FALSE(shown.contains("Wine")) << shown.toStdString();  // removing runs nothing
  EXPECT_EQ(w.Model()->rowCount(), 2);
}

}  // namespace
}  // namespace pgl
