// What the window keeps and shows between runs and at its end: the title, the panel's height,
// the column widths, the Errors window's log, and prefixes made while it runs.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QWindow>

#include <QStatusBar>
#include <filesystem>

#include "WindowTestSupport.h"
#include "platform/wine/WineServer.h"
#include "ui/main/MessageBar.h"
#include "ui/main/ThemeColors.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {
namespace {

using test::MainWindowTest;

TEST_F(MainWindowTest, TheTitleNamesTheProgramAndThePrefixOnce) {
  TFormMain w(*system, Files());
  w.show();
  ASSERT_NE(w.windowHandle(), nullptr);
  const std::string title = w.windowHandle()->title().toStdString();
  EXPECT_EQ(title, "Purgelet — " + w.System().name);
}

// Whatever size and place were saved (at another scale, on a larger or a second screen), the
// window opens whole on the free area of its screen, title and status bar included; a place
// and size that fit stay as saved.
TEST_F(MainWindowTest, TheWindowOpensWholeOnItsScreen) {
  const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
  struct Case {
    QRect saved;
    bool kept;
  };
  for (const Case c :
       {Case{QRect(0, 0, 3000, 2400), false}, Case{QRect(5000, 4000, 600, 400), false},
        Case{QRect(-900, -700, 700, 500), false},
        Case{QRect(free.x() + 60, free.y() + 80, 420, 320), true}}) {
    SCOPED_TRACE(c.saved.x());
    test::WriteFile(Files().settingsFileName, "[MAIN]\nWidth=" + std::to_string(c.saved.width()) +
                                                  "\nHeight=" + std::to_string(c.saved.height()) +
                                                  "\nLeft=" + std::to_string(c.saved.x()) +
                                                  "\nTop=" + std::to_string(c.saved.y()) + "\n");
    TFormMain w(*system, Files());
    const QRect at = w.geometry();
    EXPECT_TRUE(free.contains(at))
        << at.x() << "," << at.y() << " " << at.width() << "x" << at.height();
    // Room above for a title bar.
    EXPECT_GE(at.top() - free.top(), 16);
    if (c.kept) {
      EXPECT_EQ(at, c.saved);
    }
  }
}

TEST_F(MainWindowTest, TheHiddenPanelsHeightAndNarrowColumnsSurviveARestart) {
  {
    TFormMain w(*system, Files());
    w.resize(800, 600);
    w.show();
    w.Splitter()->setSizes({300, 250});
    const int shown = w.Splitter()->sizes()[1];
    test::Choose(w, "actShowHideBottomPanel");
    w.List()->setColumnWidth(1, 12);
    w.close();
    TFormMain again(*system, Files());
    again.resize(800, 600);
    again.show();
    test::Choose(again, "actShowHideBottomPanel");
    EXPECT_EQ(again.Splitter()->sizes()[1], shown);
    // A width below 20 comes back as 20, the narrowest a column may be.
    EXPECT_EQ(again.List()->columnWidth(1), 20);
  }
}

TEST_F(MainWindowTest, TheErrorsWindowAppendsNothingWhenTheProgramEnds) {
  const std::string log = Files().errorLogFileName;
  {
    TFormMain w(*system, Files());
    w.show();
    w.Errors().AddError("left in the list");
    test::Choose(w, "actShowErrors");
    ASSERT_TRUE(w.ErrorsWindow()->isVisible());
    w.close();
  }
  EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(MainWindowTest, RefreshFindsPrefixesMadeSinceStart) {
  const std::string home = std::getenv("HOME");
  const std::string made = home + "/.wine-made-later";
  std::filesystem::remove_all(made);
  TFormMain w(*system, Files());
  const auto offered = [&] {
    for (QAction* a : w.Menu("mnuPrefix")->actions())
      if (a->text().toStdString().find(".wine-made-later") != std::string::npos) return true;
    return false;
  };
  EXPECT_FALSE(offered());
  test::MakeDirs(made);
  test::WriteFile(made + "/system.reg", "WINE REGISTRY Version 2\n");
  test::Choose(w, "actRefresh");
  EXPECT_TRUE(offered());
  std::filesystem::remove_all(made);
}

// In a dark theme the program's own colours turn over: light shades behind theme text become
// dark, dark text on the dark base becomes light and reads at 4.5:1 or more on every background
// (qt6ct's "darker" base #222020 gave the links 3.2:1); in a light theme they stay as they are.
TEST(ThemeColors, TheProgramsColoursStayReadableInEitherTheme) {
  QPalette light;
  light.setColor(QPalette::Base, Qt::white);
  light.setColor(QPalette::Text, Qt::black);
  QPalette dark;
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Window, QColor(45, 45, 48));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  QPalette darker;
  for (const auto role : {QPalette::Base, QPalette::Window, QPalette::AlternateBase})
    darker.setColor(role, QColor("#222020"));
  darker.setColor(QPalette::Text, QColor("#d2d2d2"));
  for (const char* name :
       {"#B3B9C4", "#FFE4E1", "#0000FF", "#800080", "#008000", "#FF0000", "#800000", "#000080"}) {
    SCOPED_TRACE(name);
    const QColor c(name);
    EXPECT_EQ(ThemeTextColor(c, light), c);
    EXPECT_EQ(ThemeBackgroundColor(c, light), c);
    for (const QPalette& theme : {dark, darker}) {
      const QColor text = ThemeTextColor(c, theme);
      EXPECT_GE(text.lightness(), 170);
      EXPECT_LE(ThemeBackgroundColor(c, theme).lightness(), 70);
      if (c.hslSaturation() > 0) {
        EXPECT_NEAR(text.hslHue(), c.hslHue(), 2);
      }
      for (const QColor& back : {theme.color(QPalette::Base), theme.color(QPalette::Window),
                                 ThemeBackgroundColor(QColor("#D6D8D1"), theme),
                                 ThemeBackgroundColor(QColor("#DEE0D8"), theme)})
        EXPECT_GE(ContrastRatio(text, back), 4.5) << back.name().toStdString();
    }
  }
  EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
  EXPECT_NEAR(ContrastRatio(QColor("#5555FF"), QColor("#222020")), 3.2, 0.1);
}

// A column narrower than its caption (a width stored while the other language was shown) is
// widened when the language changes: no caption is cut.
TEST_F(MainWindowTest, ColumnCaptionsAreNeverCut) {
  TFormMain w(*system, Files());
  w.show();
  auto* header = w.List()->horizontalHeader();
  for (const char* lang : {"actSetLangPL", "actSetLangEN"}) {
    SCOPED_TRACE(lang);
    for (int c = 0; c < header->count(); ++c) w.List()->setColumnWidth(c, 20);
    test::Choose(w, lang);
    for (int c = 0; c < header->count(); ++c) {
      const QString caption = w.Model()->headerData(c, Qt::Horizontal).toString();
      EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(caption) + 20)
          << caption.toStdString();
    }
  }
}

TEST_F(MainWindowTest, StatusPanelsNeverOverlapAtTheDefaultSize) {
  for (const bool polish : {false, true}) {
    TFormMain w(*system, Files());
    test::Choose(w, polish ? "actSetLangPL" : "actSetLangEN");
    w.show();
    int right = -1;
    for (int i = 0; i < 5; ++i) {
      auto* label = w.statusBar()->findChild<QLabel*>(QString("sbPanel%1").arg(i));
      ASSERT_NE(label, nullptr);
      EXPECT_GT(label->x(), right) << "panel " << i << (polish ? " (Polish)" : "");
      // The whole text fits its panel.
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << i;
      right = label->x() + label->width() - 1;
    }
  }
}

// The prefix's wineserver lock held, as a running server holds it.
class RunningServer {
 public:
  explicit RunningServer(const std::string& prefix)
      : dir_(WineServerDirectory(prefix)), lock_(dir_ + "/lock") {}
  ~RunningServer() { std::filesystem::remove_all(dir_); }

 private:
  std::string dir_;
  test::HeldLock lock_;
};

TEST_F(MainWindowTest, TheReadOnlyNoticeAppearsOnEveryStartAndCoversNothing) {
  {
    TFormMain first(*system, Files());  // the records are there from now on
    ShowUntilRecorded(first);
  }
  RunningServer server(dir.Path());
  TFormMain w(*system, Files());
  ShowUntilRecorded(w);
  EXPECT_TRUE(w.Messages()->Text().contains("cannot be changed now"))
      << w.Messages()->Text().toStdString();
  EXPECT_TRUE(w.Messages()->Text().contains("Wine is running"))
      << w.Messages()->Text().toStdString();
  // The counts stay in view below it.
  EXPECT_TRUE(w.statusBar()->currentMessage().isEmpty());
  EXPECT_EQ(w.StatusPanelText(0).toStdString(), "Visible : 2");
}

// Switching to a prefix whose Wine runs says at once that it cannot be changed (with what the
// opening found, in one notice); switching away takes the note with it.
TEST_F(MainWindowTest, SwitchingToARunningPrefixSaysSoAtOnce) {
  test::TempDir other;
  test::MakePrefixDirs(other.Path());
  test::WriteFile(other / "system.reg", test::ReadFile(dir / "system.reg"));
  TFormMain w(*system, Files());
  w.show();
  w.SetPrefixes({{"Home", dir.Path(), "", "win64"}, {"Other", other.Path(), "", "win64"}});
  RunningServer server(other.Path());
  ASSERT_TRUE(w.SwitchPrefix(other.Path()));
  EXPECT_TRUE(w.Messages()->Text().contains("cannot be changed now"))
      << w.Messages()->Text().toStdString();
  ASSERT_TRUE(w.SwitchPrefix(dir.Path()));
  EXPECT_EQ(w.Messages()->Text(), "");
}

TEST_F(MainWindowTest, ARefusedRemovalIsExplainedInTheWindowsLanguage) {
  TFormMain w(*system, Files());
  std::vector<std::string> told;
  w.Services().confirm = [](TConfirmDialog&) { return true; };
  w.Services().tellUser = [&](const QString&, const QString& text) {
    told.push_back(text.toStdString());
  };
  RunningServer server(dir.Path());
  for (const bool polish : {false, true}) {
    test::Choose(w, polish ? "actSetLangPL" : "actSetLangEN");
    w.List()->selectRow(0);
    test::Choose(w, "actRemove");
  }
  ASSERT_EQ(told.size(), 2u);
  EXPECT_NE(told[0].find("Wine is running in this prefix"), std::string::npos) << told[0];
  EXPECT_NE(told[1].find("Nie usunięto z listy"), std::string::npos) << told[1];
  EXPECT_NE(told[1].find("w tym prefiksie działa Wine"), std::string::npos) << told[1];
  EXPECT_EQ(told[1].find("Wine is running"), std::string::npos) << told[1];
  EXPECT_EQ(w.Model()->rowCount(), 2);
}

}  // namespace
}  // namespace pgl
