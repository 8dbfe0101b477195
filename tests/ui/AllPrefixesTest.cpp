// Every prefix in one list: a Prefix column before the registry key, and each command on the
// entry's own prefix.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QMenu>
#include <QProgressDialog>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "WindowTestSupport.h"
#include "platform/ManagedSystem.h"
#include "platform/wine/WinePrefixes.h"
#include "ui/main/MessageBar.h"
#include "ui/main/Startup.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {
namespace {

class AllPrefixesTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // A second prefix that holds a program of the same key as the first's, and one of its own.
    WritePrefix(office, {{"Alpha", "Alpha"}, {"Other", "Other program"}});
  }

  // A prefix whose programs (key and name) have no uninstall command.
  static void WritePrefix(const test::TempDir& prefix,
                          const std::vector<std::pair<std::string, std::string>>& programs) {
    test::MakePrefixDirs(prefix.Path());
    std::string text =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";
    for (const auto& [key, name] : programs)
      text += R"(
[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\)" +
              key + "] 1700000000\n#time=1da1747c66d0000\n\"DisplayName\"=\"" + name + "\"\n";
    WineHive hive;
    ASSERT_TRUE(ParseWineRegistry(text, hive).Understood());
    test::WriteFile(prefix / "system.reg", WriteWineRegistry(hive));
  }

  // The rows as "name [prefix]", in list order.
  std::vector<std::string> Rows(const TFormMain& w) {
    std::vector<std::string> rows;
    for (int r = 0; r < w.Model()->rowCount(); ++r)
      rows.push_back(w.Model()->CellText(r, 0) + " [" +
                     w.Model()->CellText(r, EntryListModel::kPrefixColumn) + "]");
    return rows;
  }

  test::TempDir office;
};

TEST_F(AllPrefixesTest, OneListWithAPrefixColumnAndEachEntryActedOnInItsOwnPrefix) {
  TFormMain w(*system, Files());
  w.resize(800, 600);
  w.show();
  int confirmations = 0;
  QString confirmed;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    confirmed = dialog.ProgramsText();
    return ++confirmations > 0;
  };
  w.SetPrefixes({{"Home", dir.Path(), "", "win64"},
                 {"Office", office.Path(), "Bottles", "win64"},
                 {"Gone", (dir / "no-such-prefix"), "", "win64"}});
  // The chooser's first item, as the user picks it.
  QComboBox* chooser = w.findChild<QComboBox*>("cbPrefix");
  ASSERT_NE(chooser, nullptr);
  ASSERT_EQ(chooser->itemText(0).toStdString(), "All prefixes");
  chooser->setCurrentIndex(0);
  emit chooser->activated(0);
  ASSERT_TRUE(w.Systems().All());
  EXPECT_EQ(Rows(w), (std::vector<std::string>{"Alpha [Home]", "Alpha [Office]", "Broken [Home]",
                                               "Other program [Office]"}));
  // The prefix that cannot be read is named; the others are listed all the same.
  EXPECT_TRUE(w.Messages()->Text().startsWith("Gone: ")) << w.Messages()->Text().toStdString();
  EXPECT_TRUE(w.windowTitle().endsWith("All prefixes"));
  EXPECT_EQ(chooser->currentIndex(), 0);
  // The column stands next to the name, and a click on it sorts by it (then back).
  QHeaderView* header = w.List()->horizontalHeader();
  EXPECT_EQ(header->visualIndex(EntryListModel::kPrefixColumn), header->visualIndex(0) + 1);
  EXPECT_EQ(w.Model()->headerData(EntryListModel::kPrefixColumn, Qt::Horizontal).toString(),
            "Prefix");
  const auto firstPrefix = [&] { return Rows(w).front().substr(Rows(w).front().find('[')); };
  w.lvColumnClick(EntryListModel::kPrefixColumn);
  EXPECT_EQ(firstPrefix(), "[Office]");
  w.lvColumnClick(EntryListModel::kPrefixColumn);
  EXPECT_EQ(firstPrefix(), "[Home]");
  // A backup is of one prefix: not offered here.
  EXPECT_FALSE(w.Action("actRegBackup")->isEnabled());

  // Office's Alpha: its details come from Office's registry, and Shift+Delete removes it there
  // only.
  int officeAlpha = -1;
  for (int r = 0; r < w.Model()->rowCount(); ++r)
    if (Rows(w)[static_cast<std::size_t>(r)] == "Alpha [Office]") officeAlpha = r;
  ASSERT_GE(officeAlpha, 0);
  w.List()->selectRow(officeAlpha);
  // The panel too says whose it is.
  EXPECT_EQ(w.Panel()->Label("lblDisplayName")->text(), "Alpha (Office)");
  test::Choose(w, "actShowDetails");
  ASSERT_TRUE(w.Details()->isVisible());
  // Office's Alpha holds its name only; Home's has an uninstall command too.
  std::vector<std::string> values;
  for (const auto& row : w.Details()->Content().rows) values.push_back(row.name);
  EXPECT_NE(std::find(values.begin(), values.end(), "DisplayName"), values.end());
  EXPECT_EQ(std::find(values.begin(), values.end(), "UninstallString"), values.end());
  w.Details()->hide();
  w.activateWindow();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(confirmations, 1);
  // Two prefixes hold an Alpha: the confirmation says whose.
  EXPECT_TRUE(confirmed.contains("Alpha (Office)")) << confirmed.toStdString();
  EXPECT_EQ(Rows(w).size(), 3u);
  EXPECT_EQ(test::ReadFile(office / "system.reg").find(R"(Uninstall\\Alpha])"), std::string::npos);
  EXPECT_NE(test::ReadFile(dir / "system.reg").find(R"(Uninstall\\Alpha])"), std::string::npos);
  // Undo puts it back where it was.
  test::Choose(w, "actUndoRemove");
  EXPECT_NE(test::ReadFile(office / "system.reg").find(R"(Uninstall\\Alpha])"), std::string::npos);
  EXPECT_EQ(Rows(w).size(), 4u);

  // One prefix again: no Prefix column.
  QAction* officeChoice = nullptr;
  for (QAction* a : w.Menu("mnuPrefix")->actions())
    if (a->text().startsWith("Office")) officeChoice = a;
  ASSERT_NE(officeChoice, nullptr);
  test::Choose(w, officeChoice);
  EXPECT_FALSE(w.Systems().All());
  EXPECT_EQ(w.Collection()->CurrentSort,
            SortKey::DisplayName);  // no prefix to sort by: by name again
  EXPECT_EQ(w.Model()->columnCount(), EntryListModel::kPrefixColumn);
  EXPECT_EQ(Rows(w), (std::vector<std::string>{"Alpha []", "Other program []"}));
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_End);
  QTest::keyClick(w.List(), Qt::Key_Home);
  EXPECT_EQ(w.Panel()->Label("lblDisplayName")->text(), "Alpha");
  EXPECT_TRUE(w.Action("actRegBackup")->isEnabled());
  w.close();
}

// One batch over several prefixes runs in the list's order and keeps every prefix's errors.
// The prefix the window starts on is opened before the home is searched: it goes by its folder
// until the search names it after its front end, in the title and the chooser.
TEST_F(AllPrefixesTest, TheStartPrefixTakesItsFrontEndsNameOnceTheHomeIsSearched) {
  TFormMain w(*system, Files());
  const std::string folder = ShortPath(dir.Path(), std::getenv("HOME") ? std::getenv("HOME") : "");
  EXPECT_TRUE(w.windowTitle().toStdString().ends_with(folder)) << w.windowTitle().toStdString();
  w.SetPrefixes({{"My Bottle", dir.Path(), "Bottles", "win64"},
                 {"Office", office.Path(), "Bottles", "win64"}});
  EXPECT_TRUE(w.windowTitle().endsWith("My Bottle")) << w.windowTitle().toStdString();
  QComboBox* chooser = w.findChild<QComboBox*>("cbPrefix");
  ASSERT_NE(chooser, nullptr);
  EXPECT_TRUE(chooser->currentText().startsWith("My Bottle"))
      << chooser->currentText().toStdString();
}

TEST_F(AllPrefixesTest, ABatchAcrossPrefixesRunsInListOrderAndKeepsEveryError) {
  test::TempDir third;
  WritePrefix(third, {{"Beta", "Beta"}});
  TFormMain w(*system, Files());
  w.resize(800, 600);
  w.show();
  w.Services().confirm = [](TConfirmDialog&) { return true; };
  w.SetPrefixes({{"Home", dir.Path(), "", "win64"},
                 {"Office", office.Path(), "Bottles", "win64"},
                 {"Third", third.Path(), "", "win64"}});
  ASSERT_TRUE(w.ShowAllPrefixes());
  ASSERT_EQ(Rows(w), (std::vector<std::string>{"Alpha [Home]", "Alpha [Office]", "Beta [Third]",
                                               "Broken [Home]", "Other program [Office]"}));
  // Office, Third, Office: none has an uninstall command, so each is an error.
  w.List()->selectionModel()->clearSelection();
  for (const int row : {1, 2, 4})
    w.List()->selectionModel()->select(w.Model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
  w.activateWindow();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_U, Qt::ControlModifier);
  const std::string text = w.Errors().Text();
  EXPECT_EQ(w.Errors().ErrorCount(), 3) << text;
  const auto at = [&](const char* name) { return text.find(std::string("Application: ") + name); };
  ASSERT_NE(at("Alpha"), std::string::npos) << text;
  ASSERT_NE(at("Beta"), std::string::npos) << text;
  ASSERT_NE(at("Other program"), std::string::npos) << text;
  EXPECT_LT(at("Alpha"), at("Beta")) << text;
  EXPECT_LT(at("Beta"), at("Other program")) << text;
  w.close();
}

// The prefix the window started on holds its place in "All prefixes" though the search does not
// find it (WINEPREFIX names it), and F5 brings in a prefix made since.
TEST_F(AllPrefixesTest, EveryPrefixShownIsInAllAndF5BringsInNewOnes) {
  TFormMain w(*system, Files());
  w.resize(800, 600);
  w.show();
  w.SetPrefixes({{"Office", office.Path(), "Bottles", "win64"}});
  ASSERT_TRUE(w.ShowAllPrefixes());
  const std::string home = w.Model()->CellText(0, EntryListModel::kPrefixColumn);
  EXPECT_EQ(Rows(w), (std::vector<std::string>{"Alpha [" + home + "]", "Alpha [Office]",
                                               "Broken [" + home + "]", "Other program [Office]"}));
  test::TempDir third;
  WritePrefix(third, {{"Beta", "Beta"}});
  w.SetPrefixes({{"Office", office.Path(), "Bottles", "win64"}, {"Third", third.Path(), "", ""}});
  EXPECT_EQ(Rows(w).size(), 4u);  // found, but not shown until the list is refreshed
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_F5);
  ASSERT_TRUE(w.Systems().All());
  EXPECT_EQ(Rows(w),
            (std::vector<std::string>{"Alpha [" + home + "]", "Alpha [Office]", "Beta [Third]",
                                      "Broken [" + home + "]", "Other program [Office]"}));
  w.close();
}

TEST_F(AllPrefixesTest, WhenNoPrefixCanBeReadTheListStaysAndTheUserIsTold) {
  TFormMain w(*system, Files());
  std::vector<std::string> told;
  w.Services().tellUser = [&](const QString&, const QString& text) {
    told.push_back(text.toStdString());
  };
  w.SetPrefixes({{"Gone", (dir / "no-such-prefix"), "", "win64"}});
  // The prefix shown cannot be read again either: its registry file went meanwhile.
  std::filesystem::rename(dir / "system.reg", dir / "system.reg.away");
  EXPECT_FALSE(w.ShowAllPrefixes());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("No prefix could be read.\n", 0), 0u) << told[0];
  EXPECT_NE(told[0].find("\nGone: "), std::string::npos) << told[0];
  EXPECT_FALSE(w.Systems().All());
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
}

// A runner that records what the progress dialog says as each uninstaller starts.
class ProgressRunner : public ProcessRunner {
 public:
  explicit ProgressRunner(QStringList& said) : said_(said) {}
  RunOutcome RunAndWait(const std::string&, const std::function<bool()>&) override {
    for (QWidget* top : QApplication::topLevelWidgets())
      if (auto* progress = qobject_cast<QProgressDialog*>(top); progress && progress->isVisible())
        said_ << progress->labelText();
    return {};
  }
  bool CanRun(PeMachine) override { return true; }
  bool WaitUntilRegistrySaved(const std::function<bool(int)>&) override { return true; }

 private:
  QStringList& said_;
};

// A batch over two prefixes counts as one ("n of 3" throughout); the choice of every prefix is
// remembered for the next start, and choosing it again finds prefixes made since.
TEST_F(AllPrefixesTest, EveryPrefixIsOneBatchRememberedAndLookedForAgain) {
  test::TempDir games;
  WritePrefix(games, {{"Game", "Game"}});
  QStringList said;
  TFormMain w(*system, Files());
  w.Services().confirm = [](TConfirmDialog&) { return true; };
  w.Services().openPrefix = [&said](const std::string& at, std::string& error) {
    auto opened = OpenManagedSystemAt(at, error);
    if (opened) opened->runner = std::make_unique<ProgressRunner>(said);
    return opened;
  };
  std::vector<KnownSystem> found = {{"Home", dir.Path(), "", "win64"},
                                    {"Office", office.Path(), "Bottles", "win64"}};
  w.SetPrefixFinder([&found] { return found; });
  w.resize(800, 600);
  w.show();
  QComboBox* chooser = w.findChild<QComboBox*>("cbPrefix");
  emit chooser->activated(0);
  ASSERT_TRUE(w.Systems().All());
  // In list order: Alpha at home, Alpha at Office, Broken at home, Office's other program; only
  // the two at home have commands to run, the third of four among them.
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(w.List(), Qt::Key_U, Qt::ControlModifier);
  ASSERT_EQ(said.size(), 2) << said.join(" | ").toStdString();
  EXPECT_TRUE(said[0].startsWith("Uninstalling (1 of 4)")) << said[0].toStdString();
  EXPECT_TRUE(said[1].startsWith("Uninstalling (3 of 4): Broken")) << said[1].toStdString();
  w.ErrorsWindow()->hide();
  // A prefix made since: choosing every prefix again finds it.
  found.push_back({"Games", games.Path(), "Lutris", "win64"});
  emit chooser->activated(0);
  EXPECT_NE(std::find(Rows(w).begin(), Rows(w).end(), "Game [Games]"), Rows(w).end());
  w.close();
  EXPECT_TRUE(LastShownAll(Files().settingsFileName));
  TFormMain again(*system, Files());
  again.SetPrefixFinder([&found] { return found; });
  ASSERT_TRUE(again.SwitchPrefix(office.Path()));
  again.close();
  EXPECT_FALSE(LastShownAll(Files().settingsFileName));
  EXPECT_EQ(LastShownPrefix(Files().settingsFileName), office.Path());
}

}  // namespace
}  // namespace pgl
