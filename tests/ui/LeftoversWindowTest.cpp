// Leftovers from the window: a program still installed is only previewed, and the menu entries
// of deleted prefixes go to the trash.
#include <QAction>
#include <QApplication>
#include <QClipboard>
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
#include "ui/main/MessageBar.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/LeftoversDialog.h"
#include "ui/windows/RestoreDialog.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {
namespace {

using test::MainWindowTest;

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

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
  QString copied;
  w.Services().confirmLeftovers = [&](LeftoversDialog& dialog) {
    rows = dialog.RowTexts();
    dialog.show();
    // Ctrl+C copies the rows, each item by its whole path.
    QApplication::clipboard()->clear();
    QApplication::setActiveWindow(&dialog);
    QTest::keyClick(dialog.findChild<QTreeWidget*>("lvLeftovers"), Qt::Key_C, Qt::ControlModifier);
    copied = QApplication::clipboard()->text();
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
  EXPECT_TRUE(copied.startsWith("Gamma (still installed)\n")) << copied.toStdString();
  EXPECT_TRUE(copied.contains("\tsure\tfolder\t")) << copied.toStdString();
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
  EXPECT_EQ(w.Messages()->Text(), "Items moved to the trash: 1");
}

}  // namespace
}  // namespace pgl
