// The window on a temporary prefix with three entries (a valid one with a link, an invalid one,
// a system component), and what the window hands to the desktop.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "platform/ManagedSystem.h"
#include "registry/WineRegFile.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/InfoPanel.h"
#include "ui/main/MainTexts.h"
#include "ui/main/TFormMain.h"

namespace pgl {
namespace test {

inline const char kSystem[] =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
    "#time=1da1747c66d0000\n\"SystemRoot\"=\"C:\\\\windows\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Alpha] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"Alpha\"\n"
    "\"UninstallString\"=\"C:\\\\Apps\\\\a.exe\"\n\"URLInfoAbout\"=\"https://example.com\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Broken] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"Broken\"\n\"UninstallString\"=\"C:\\\\gone.exe\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Core] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"Core\"\n\"UninstallString\"=\"C:\\\\Apps\\\\a.exe\"\n"
    "\"SystemComponent\"=dword:00000001\n";

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::MakePrefixDirs(dir.Path());
    test::MakeWindowsFile(dir.Path(), "C:\\Apps\\a.exe");
    // In the exact form Wine writes, so that the prefix may be changed.
    WineHive hive;
    ASSERT_TRUE(ParseWineRegistry(kSystem, hive).Understood());
    test::WriteFile(dir / "system.reg", WriteWineRegistry(hive));
    WineHive user;
    ASSERT_TRUE(ParseWineRegistry("WINE REGISTRY Version 2\n;; All keys relative to "
                                  "\\\\User\\\\S-1-5-21-0\n\n#arch=win64\n"
                                  "\n[Environment] 1700000000\n#time=1da1747c66d0000\n"
                                  "\"TEMP\"=\"C:\\\\t\"\n",
                                  user)
                    .Understood());
    test::WriteFile(dir / "user.reg", WriteWineRegistry(user));
    ::setenv("WINEPREFIX", dir.Path().c_str(), 1);
    std::string error;
    OpenSystemsForListing();  // as the program opens its prefixes
    system = OpenManagedSystem(error);
    ASSERT_NE(system, nullptr) << error;
  }

  ProgramFiles Files() {
    return {dir / "pgl.ini", dir / "pgl_Errors.log", dir.Path(), "/opt/purgelet/pgl",
            dir / "pgl_Search.log"};
  }

  // Shows the window and waits for the records of its start, written once the list is painted.
  static void ShowUntilRecorded(TFormMain& w) {
    w.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.StartRecorded(); }, 5000));
  }

  std::vector<std::string> Names(const TFormMain& w) {
    std::vector<std::string> names;
    for (int r = 0; r < w.Model()->rowCount(); ++r) names.push_back(w.Model()->CellText(r, 0));
    return names;
  }

  test::TempDir dir;
  std::unique_ptr<ManagedSystem> system;
};

// What the window hands to the desktop, recorded instead of opened.
class RecordingDesktop : public Desktop {
 public:
  bool OpenAddress(const std::string& url) override {
    opened.push_back("address " + url);
    return true;
  }
  bool OpenFile(const std::string& path) override {
    opened.push_back("file " + path);
    return true;
  }
  bool JumpToRegistryKey(const std::string& key) override {
    opened.push_back("key " + key);
    return true;
  }
  std::vector<std::string> opened;
};

inline std::string LabelText(TFormMain& w, const char* name) {
  QLabel* label = w.Panel()->Label(name);
  EXPECT_NE(label, nullptr) << name;
  return label ? label->text().toStdString() : "";
}

// The menu items that lead from the menu bar to `action`: the bar's item, any submenus' items,
// then the action's own. Empty when no menu holds it.
inline std::vector<QAction*> MenuPath(const QList<QAction*>& items, QAction* action) {
  for (QAction* item : items) {
    if (item == action) return {item};
    if (QMenu* menu = item->menu()) {
      std::vector<QAction*> rest = MenuPath(menu->actions(), action);
      if (!rest.empty()) {
        rest.insert(rest.begin(), item);
        return rest;
      }
    }
  }
  return {};
}

// QTest leaves the modifiers of a shortcut held in the application's view of the keyboard (a
// later click would then extend the selection): they are let go as a user's fingers would.
inline void LetGoOfModifiers(QWidget* widget) {
  const Qt::KeyboardModifiers held = QApplication::keyboardModifiers();
  for (const auto& [modifier, key] :
       {std::pair{Qt::ControlModifier, Qt::Key_Control},
        std::pair{Qt::ShiftModifier, Qt::Key_Shift}, std::pair{Qt::AltModifier, Qt::Key_Alt},
        std::pair{Qt::MetaModifier, Qt::Key_Meta}})
    if (held & modifier) QTest::keyRelease(widget, key);
}

// Gives `window` the focus, as a click on it would, and presses the key in its focus widget.
inline void Press(QWidget* window, QWidget* focus, int key, Qt::KeyboardModifiers modifiers = {}) {
  window->show();
  window->activateWindow();
  QApplication::setActiveWindow(window);
  focus->setFocus();
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : focus;
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
  LetGoOfModifiers(target);
  QApplication::processEvents();
}

// Moves down an open menu to `item` and chooses it (Enter; a submenu's item opens it).
inline void ChooseInMenu(QMenu* menu, QAction* item) {
  ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000))
      << menu->title().toStdString() << " did not open";
  for (qsizetype step = 0; step <= menu->actions().size() && menu->activeAction() != item; ++step)
    QTest::keyClick(menu, Qt::Key_Down);
  ASSERT_EQ(menu->activeAction(), item) << item->text().toStdString() << " cannot be reached";
  QTest::keyClick(menu, item->menu() ? Qt::Key_Right : Qt::Key_Return);
}

// Chooses one of the window's commands as a user does, in the window given the focus: its
// shortcut pressed in the focused widget (the list, when the window's focus is nowhere); else
// its menu opened with Alt and the menu's underlined letter, the item reached with the arrow keys
// and Enter pressed; else its toolbar button clicked; else the toolbar's own menu opened with a
// right click and the item chosen there. A command none of these reach fails the test.
inline void Choose(TFormMain& w, QAction* action) {
  ASSERT_NE(action, nullptr);
  const std::string name = action->objectName().isEmpty() ? action->text().toStdString()
                                                          : action->objectName().toStdString();
  w.show();
  w.activateWindow();
  QApplication::setActiveWindow(&w);
  QWidget* focus = QApplication::focusWidget();
  if (!focus || focus->window() != &w) {
    w.List()->setFocus();
    focus = w.List();
  }
  if (!action->shortcut().isEmpty()) {
    QTest::keySequence(focus, action->shortcut());
    LetGoOfModifiers(focus);
    QApplication::processEvents();
    return;
  }
  if (const std::vector<QAction*> path = MenuPath(w.menuBar()->actions(), action);
      path.size() >= 2) {
    const QString title = path[0]->text();
    const qsizetype letter = title.indexOf('&') + 1;
    ASSERT_TRUE(letter > 0 && letter < title.size()) << title.toStdString() << " has no letter";
    QTest::keyClick(focus, static_cast<Qt::Key>(title[letter].toUpper().unicode()),
                    Qt::AltModifier);
    LetGoOfModifiers(focus);
    for (std::size_t level = 1; level < path.size(); ++level) {
      ChooseInMenu(path[level - 1]->menu(), path[level]);
      if (::testing::Test::HasFatalFailure()) return;
    }
    QApplication::processEvents();
    return;
  }
  for (const TextPair& item : ToolbarButtons())
    if (w.Action(ToolbarButtonAction(item.name)) == action) {
      QTest::mouseClick(w.Button(item.name), Qt::LeftButton);
      QApplication::processEvents();
      return;
    }
  QMenu* own = w.Menu("popToolbar");
  ASSERT_TRUE(own && own->actions().contains(action))
      << name << " is in no menu, toolbar or shortcut";
  auto* toolbar = w.findChild<QToolBar*>("tbMain");
  ASSERT_NE(toolbar, nullptr);
  // A right click, and the context menu event the window system makes of it (QTest leaves that
  // out).
  const QPoint at(toolbar->width() - 4, toolbar->height() / 2);
  QTest::mouseClick(toolbar, Qt::RightButton, {}, at);
  QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, toolbar->mapToGlobal(at));
  QApplication::sendEvent(toolbar, &menuEvent);
  ChooseInMenu(own, action);
  QApplication::processEvents();
}

inline void Choose(TFormMain& w, const QString& name) {
  QAction* action = w.Action(name);
  ASSERT_NE(action, nullptr) << name.toStdString();
  Choose(w, action);
}

}  // namespace test
}  // namespace pgl
