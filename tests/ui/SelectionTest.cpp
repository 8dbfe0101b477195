// The selection and the panel as the list changes under them (a prune, a refresh, a sort).
#include <QAbstractItemView>
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

TEST_F(MainWindowTest, OnlyTheGoneRowsLeaveTheSelection) {
  TFormMain w(*system, Files());
  test::Choose(w, "actSystemComponentsVisible");  // Alpha, Broken, Core
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
  test::Choose(w, "actRefresh");
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
  test::Choose(w, "actSelectAll");
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
  EXPECT_FALSE(w.Panel()->Icon().isNull());
  test::Choose(w, "actInvertSelection");
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "");
  test::Choose(w, "actInvertSelection");
  EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
}

// Rows picked one by one with Ctrl+click, in the table and in the icon styles, are the rows the
// commands act on; Ctrl+click again takes one out.
TEST_F(MainWindowTest, CtrlClickedRowsAreTheSelectionInEveryStyle) {
  TFormMain w(*system, Files());
  w.resize(800, 600);
  w.show();
  test::Choose(w, "actSystemComponentsVisible");  // Alpha, Broken, Core
  for (const ViewStyle style : {ViewStyle::Details, ViewStyle::LargeIcons, ViewStyle::List}) {
    SCOPED_TRACE(ViewStyleNumber(style));
    w.SetViewStyle(style);
    auto* view = static_cast<QAbstractItemView*>(w.ListView()->CurrentView());
    view->clearSelection();
    const auto click = [&](int row) {
      const QRect cell = view->visualRect(w.Model()->index(row, 0));
      QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
    };
    click(2);
    click(0);
    EXPECT_EQ(Selected(w), (std::vector<std::string>{"Alpha", "Core"}));
    EXPECT_EQ(LabelText(w, "lblDisplayName"), "Alpha");
    click(0);
    EXPECT_EQ(Selected(w), std::vector<std::string>{"Core"});
    EXPECT_EQ(LabelText(w, "lblDisplayName"), "Core");
  }
}

}  // namespace
}  // namespace pgl
