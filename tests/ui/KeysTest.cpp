// Real key presses in the window that has the focus: each window's own shortcuts work there,
// and the main window's do not fire from another window.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "WindowTestSupport.h"
#include "ui/main/FilterBox.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"
#include "ui/windows/TFormSearch.h"

namespace pgl {
namespace {

using test::MainWindowTest;
using test::Press;

class KeysTest : public MainWindowTest {
 protected:
  void Open(TFormMain& w) {
    w.resize(800, 600);
    w.show();
    w.Services().confirm = [this](TConfirmDialog&) {
      ++confirmations;
      return false;
    };
    w.Services().ask = [this](const QString&) {
      ++questions;
      return false;
    };
    w.Services().setClipboard = [this](const QString& text) { clipboard = text.toStdString(); };
  }
  int confirmations = 0;
  int questions = 0;
  std::string clipboard;
};

TEST_F(KeysTest, TheMainWindowsKeysWorkInItsList) {
  TFormMain w(*system, Files());
  Open(w);
  QWidget* list = w.List();
  Press(&w, list, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.StatusPanelText(1).toStdString(), "Selected : 2");
  Press(&w, list, Qt::Key_C, Qt::ControlModifier);
  EXPECT_NE(clipboard.find("Alpha"), std::string::npos);
  Press(&w, list, Qt::Key_I, Qt::ControlModifier);
  EXPECT_EQ(w.StatusPanelText(1).toStdString(), "Selected : 0");
  w.List()->selectRow(0);
  Press(&w, list, Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(w.Panel()->isHidden());
  Press(&w, list, Qt::Key_B, Qt::ControlModifier);
  EXPECT_FALSE(w.Panel()->isHidden());
  Press(&w, list, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(confirmations, 1);
  Press(&w, list, Qt::Key_Escape);
  EXPECT_EQ(questions, 1);
  // Enter opens the details; Tab leaves the list for the next control.
  Press(&w, list, Qt::Key_Return);
  EXPECT_TRUE(w.Details()->isVisible());
  w.Details()->hide();
  Press(&w, list, Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), list);
  // Alt and a menu's letter open it, in Polish too.
  for (const bool polish : {false, true}) {
    test::Choose(w, polish ? "actSetLangPL" : "actSetLangEN");
    QMenu* file = w.Menu("mnuFile");
    Press(&w, list, polish ? Qt::Key_P : Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(file->isVisible()) << (polish ? "Alt+P" : "Alt+F");
    file->hide();
  }
}

// The tool windows are made when first opened: one first opened after the language changed
// speaks the new one, as one made at the start would.
TEST_F(KeysTest, AToolWindowFirstOpenedAfterALanguageChangeSpeaksIt) {
  std::vector<QString> english;
  {
    TFormMain w(*system, Files());
    for (QWidget* window :
         std::initializer_list<QWidget*>{w.Search(), w.About(), w.ErrorsWindow(), w.Details()})
      english.push_back(window->windowTitle());
  }
  TFormMain w(*system, Files());
  Open(w);
  test::Choose(w, "actSetLangPL");
  Press(&w, w.List(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(w.Search()->isVisible());
  const std::vector<QWidget*> windows = {w.Search(), w.About(), w.ErrorsWindow(), w.Details()};
  for (std::size_t i = 0; i < windows.size(); ++i)
    EXPECT_NE(windows[i]->windowTitle(), english[i]) << english[i].toStdString();
}

TEST_F(KeysTest, EachToolWindowsKeysWorkThereAndNotTheMainWindows) {
  TFormMain w(*system, Files());
  Open(w);
  w.List()->selectRow(0);
  TFormDetails& d = *w.Details();
  // Details: its own select all, copy and close; the main window's panel and remove stay.
  Press(&d, d.List(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(d.List()->selectionModel()->selectedRows().size(), d.List()->rowCount());
  Press(&d, d.List(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_NE(clipboard.find("DisplayName"), std::string::npos) << clipboard;
  Press(&d, d.List(), Qt::Key_B, Qt::ControlModifier);
  EXPECT_FALSE(w.Panel()->isHidden());
  Press(&d, d.List(), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(confirmations, 0);
  Press(&d, d.List(), Qt::Key_Escape);
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(questions, 0);
  Press(&d, d.List(), Qt::Key_D, Qt::ControlModifier);
  EXPECT_FALSE(d.isVisible());

  // Search: Enter runs Find from anywhere in it; Esc closes it.
  TFormSearch& s = *w.Search();
  s.show();
  s.Text()->setEditText("Broken");
  Press(&s, s.Text(), Qt::Key_Return);
  EXPECT_EQ(w.List()->selectionModel()->selectedRows().size(), 1);
  EXPECT_FALSE(s.isVisible());
  Press(&s, s.Text(), Qt::Key_Escape);
  EXPECT_FALSE(s.isVisible());
  EXPECT_EQ(questions, 0);

  // Errors and About close with Esc, and the main window does not ask to close.
  w.Errors().AddError("x");
  TFormErrors& e = *w.ErrorsWindow();
  Press(&e, &e, Qt::Key_Escape);
  EXPECT_FALSE(e.isVisible());
  // About has nothing that takes the focus: Esc reaches the window itself.
  Press(&w, w.List(), Qt::Key_F1, Qt::ControlModifier);
  TFormAbout& a = *w.About();
  ASSERT_TRUE(a.isVisible());
  QApplication::setActiveWindow(&a);
  if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
  QTest::keyClick(&a, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_FALSE(a.isVisible());
  EXPECT_EQ(questions, 0);
}

// The Menu key and Shift+F10 open the list's context menu, as a right click does.
TEST_F(KeysTest, TheMenuKeyAndShiftF10OpenTheListsContextMenu) {
  TFormMain w(*system, Files());
  Open(w);
  w.List()->selectRow(0);
  QMenu* menu = w.Menu("popLv");
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers{}},
        std::pair{Qt::Key_F10, Qt::KeyboardModifiers{Qt::ShiftModifier}}}) {
    Press(&w, w.List(), key, modifiers);
    EXPECT_TRUE(menu->isVisible()) << key;
    menu->hide();
  }
}

// With a tool window that stays on top open, Esc in the main window asks above it, with the
// focus; Esc there answers No and the program stays open.
TEST_F(KeysTest, TheCloseQuestionOpensAboveTheToolWindows) {
  TFormMain w(*system, Files());
  w.resize(800, 600);
  w.show();
  TFormDetails& d = *w.Details();
  d.show();
  ASSERT_TRUE(d.windowFlags() & Qt::WindowStaysOnTopHint);
  bool asked = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    asked = true;
    EXPECT_EQ(box->objectName(), "questionBox");
    EXPECT_EQ(box->text(), "Close application?");
    EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(QTest::qWaitFor([box] { return QApplication::activeWindow() == box; }, 2000));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box,
                    Qt::Key_Escape);
  });
  Press(&w, w.List(), Qt::Key_Escape);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(w.isVisible());
  w.close();
}

// Ctrl+K goes to the filter box; typing narrows the rows (and the count), Down goes back to the
// list with its rows, Esc in the box clears it without asking to close the program, and a
// second Esc hands the focus back to the list.
TEST_F(KeysTest, TheFilterBoxNarrowsTheList) {
  TFormMain w(*system, Files());
  Open(w);
  QWidget* list = w.List();
  Press(&w, list, Qt::Key_K, Qt::ControlModifier);
  ASSERT_EQ(QApplication::focusWidget(), w.Filter());
  QTest::keyClicks(w.Filter(), "BRO");
  EXPECT_EQ(Names(w), std::vector<std::string>{"Broken"});
  EXPECT_EQ(w.StatusPanelText(0).toStdString(), "Visible : 1");
  QTest::keyClick(w.Filter(), Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), list);
  // By key too; a word that nothing holds leaves no row.
  Press(&w, list, Qt::Key_K, Qt::ControlModifier);
  QTest::keyClicks(w.Filter(), "uninstall\\alp");
  EXPECT_EQ(Names(w), std::vector<std::string>{"Alpha"});
  QTest::keyClicks(w.Filter(), "x");
  EXPECT_TRUE(Names(w).empty());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(w.Filter()->text(), "");
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_EQ(questions, 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(QApplication::focusWidget(), list);
  EXPECT_EQ(questions, 0);
}

// F1 opens the page installed with the program in the window's language, beside it or in
// share/purgelet/help; says where it looked when there is none, and where the page is when no
// program opens it.
TEST_F(MainWindowTest, F1OpensTheInstalledHelpPage) {
  struct Case {
    const char* program;
    std::vector<const char*> pages;  // made beside it
    bool polish;
    bool openerWorks;
    const char* opened;  // nullptr: none
    const char* told;    // the start of what the user is told; nullptr: nothing
  };
  const Case cases[] = {
      {"build/pgl",
       {"build/help/index.html", "build/help/index.pl.html"},
       false,
       true,
       "build/help/index.html",
       nullptr},
      {"usr/bin/pgl",
       {"usr/share/purgelet/help/index.html", "usr/share/purgelet/help/index.pl.html"},
       true,
       true,
       "usr/share/purgelet/help/index.pl.html",
       nullptr},
      {"build/pgl", {"build/help/index.html"}, true, true, "build/help/index.html", nullptr},
      {"build/pgl",
       {"build/help/index.html"},
       false,
       false,
       "build/help/index.html",
       "No program is set to open web pages here (install xdg-utils). The help page is "},
      {"opt/pgl", {}, false, true, nullptr, "The help page is not installed (looked for "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + (c.polish ? " pl" : " en"));
    test::TempDir root;
    std::filesystem::create_directories(std::filesystem::path(root / c.program).parent_path());
    for (const char* page : c.pages) {
      std::filesystem::create_directories(std::filesystem::path(root / page).parent_path());
      test::WriteFile(root / page, "<html></html>");
    }
    ProgramFiles files = Files();
    files.exePath = root / c.program;
    TFormMain w(*system, files);
    if (c.polish) test::Choose(w, "actSetLangPL");
    std::vector<std::string> opened;
    QStringList told;
    w.Services().openLocalPage = [&](const std::string& file) {
      opened.push_back(file);
      return c.openerWorks;
    };
    w.Services().tellUser = [&](const QString&, const QString& text) { told << text; };
    Press(&w, w.List(), Qt::Key_F1);
    if (c.opened)
      EXPECT_EQ(opened, std::vector<std::string>{root / c.opened});
    else
      EXPECT_TRUE(opened.empty());
    if (!c.told) {
      EXPECT_TRUE(told.empty());
      continue;
    }
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith(c.told)) << told[0].toStdString();
    const std::string where = c.opened ? root / c.opened : root / "opt/help/index.html";
    EXPECT_TRUE(told[0].contains(QString::fromStdString(where))) << told[0].toStdString();
  }
}

// Each page is a task-oriented help in its own language, with a list of contents that leads
// to every section.
TEST(HelpPage, EachLanguageHasItsPageWithContents) {
  struct Case {
    const char* file;
    const char* lang;
    const char* contents;
    std::vector<const char*> sections;
  };
  const std::string dir = std::filesystem::path(PGL_BUILT_HELP_PAGE).parent_path();
  for (const Case& c :
       {Case{"index.html", "en", "Contents", {"First start", "Uninstall a program", "Saves"}},
        Case{"index.pl.html",
             "pl",
             "Spis treści",
             {"Pierwsze uruchomienie", "Odinstalowanie programu", "Zapisy gier"}}}) {
    SCOPED_TRACE(c.file);
    const std::string page = test::ReadFile(dir + "/" + c.file);
    EXPECT_NE(page.find(std::string("<html lang=\"") + c.lang + "\">"), std::string::npos);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find(std::string("<nav><h2>") + c.contents + "</h2>"), std::string::npos);
    // The contents come before the first section and name each one with its anchor.
    EXPECT_LT(page.find("<nav>"), page.find("<h2 id=\"s1\">"));
    for (const char* section : c.sections) {
      const std::size_t link = page.find(std::string("\">") + section + "</a></li>");
      ASSERT_NE(link, std::string::npos) << section;
      const std::size_t hash = page.rfind("#s", link);
      const std::string id = page.substr(hash + 1, link - hash - 1);
      EXPECT_NE(page.find("<h2 id=\"" + id + "\">" + section + "</h2>"), std::string::npos)
          << section;
    }
    // It is the users' help, not the README's notes on building.
    EXPECT_EQ(page.find("Two commands"), std::string::npos);
  }
}

}  // namespace
}  // namespace pgl
