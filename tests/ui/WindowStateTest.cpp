// What the window keeps and shows between runs and at its end: the title, the panel's height,
// the column widths, the Errors window's log, and prefixes made while it runs.
#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QWindow>
#include <filesystem>

#include "WindowTestSupport.h"
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

TEST_F(MainWindowTest, TheHiddenPanelsHeightAndNarrowColumnsSurviveARestart) {
  {
    TFormMain w(*system, Files());
    w.resize(800, 600);
    w.show();
    w.Splitter()->setSizes({300, 250});
    const int shown = w.Splitter()->sizes()[1];
    w.Action("actShowHideBottomPanel")->trigger();
    w.List()->setColumnWidth(1, 12);
    w.close();
    TFormMain again(*system, Files());
    again.resize(800, 600);
    again.show();
    again.Action("actShowHideBottomPanel")->trigger();
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
    w.Action("actShowErrors")->trigger();
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
  w.Action("actRefresh")->trigger();
  EXPECT_TRUE(offered());
  std::filesystem::remove_all(made);
}

}  // namespace
}  // namespace pgl
