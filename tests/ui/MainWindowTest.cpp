// The main window on a temporary prefix, under the offscreen platform: rows, colours, header
// sorting with the arrow, the language switch in place, removal through the engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <filesystem>

#include "TestSupport.h"
#include "inventory/EntryList.h"
#include "platform/ManagedSystem.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "registry/WineRegFile.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/ConfirmDialogs.h"

namespace pgl {
namespace {

const char kSystem[] =
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
    system = OpenManagedSystem(error);
    ASSERT_NE(system, nullptr) << error;
  }

  ProgramFiles Files() {
    return {dir / "pgl.ini", dir / "pgl_Errors.log", dir.Path(), "/opt/purgelet/pgl"};
  }

  std::vector<std::string> Names(const TFormMain& w) {
    std::vector<std::string> names;
    for (int r = 0; r < w.Model()->rowCount(); ++r) names.push_back(w.Model()->CellText(r, 0));
    return names;
  }

  test::TempDir dir;
  std::unique_ptr<ManagedSystem> system;
};

TEST_F(MainWindowTest, ListSortsColoursAndSwitchesLanguage) {
  TFormMain w(*system, Files());
  w.show();
  // The first start hides system components and shows the invalid entry.
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken"}));
  EXPECT_EQ(w.Model()->columnCount(), 22);
  EXPECT_TRUE(w.List()->selectionModel()->isRowSelected(0, {}));
  const QModelIndex broken = w.Model()->index(1, 0);
  EXPECT_EQ(w.Model()->data(broken, Qt::ForegroundRole).value<QBrush>().color(), QColor("#FF0000"));
  EXPECT_EQ(w.Model()->data(w.Model()->index(0, 14), Qt::ForegroundRole).value<QBrush>().color(),
            QColor("#0000FF"));
  w.Action("actSystemComponentsVisible")->trigger();
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken", "Core"}));
  // A header click flips the direction (the first one too) and moves the arrow.
  w.lvColumnClick(0);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Core", "Broken", "Alpha"}));
  EXPECT_EQ(w.List()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
  w.lvColumnClick(0);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"Alpha", "Broken", "Core"}));
  // Polish: headers and the frequency word change in place.
  EXPECT_EQ(w.Model()->CellText(0, 4), "rarely (0)");
  w.Action("actSetLangPL")->trigger();
  EXPECT_EQ(w.Model()->CellText(0, 4), "rzadko (0)");
  EXPECT_EQ(w.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Nazwa");
  EXPECT_EQ(w.Model()->data(w.Model()->index(2, 1), Qt::BackgroundRole).value<QBrush>().color(),
            QColor("#B3B9C4"));
  if (const char* shot = std::getenv("PGL_SCREENSHOT_DIR"))
    w.grab().save(QString(shot) + "/main-polish.png");
  // The view styles, with the Part's pairing of "List" and "Small icons"; the view button
  // steps large icons, small icons, list, details.
  w.Action("actViewList")->trigger();
  EXPECT_EQ(w.ViewStyle(), 1);
  w.Action("actViewSmallIcons")->trigger();
  EXPECT_EQ(w.ViewStyle(), 2);
  w.Action("actViewDetails")->trigger();
  std::vector<int> cycle;
  for (int i = 0; i < 4; ++i) {
    w.Action("actView")->trigger();
    cycle.push_back(w.ViewStyle());
  }
  EXPECT_EQ(cycle, (std::vector<int>{0, 2, 1, 3}));
  w.Action("actViewLargeIcons")->trigger();
  EXPECT_TRUE(w.Action("actViewLargeIcons")->isChecked());
  w.close();
  // Closing wrote the settings; a new window starts in Polish with the same sort and style.
  TFormMain again(*system, Files());
  EXPECT_TRUE(again.languagePL);
  EXPECT_EQ(again.Model()->rowCount(), 3);
  EXPECT_EQ(again.ViewStyle(), 0);
}

TEST_F(MainWindowTest, StartUpLeavesItsRecordsAndTheFirstBackupOnce) {
  const auto backups = [&] {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      n += e.path().filename().string().starts_with("first_registry_backup_");
    return n;
  };
  const std::string key = "Software\\Tervask\\Purgelet";
  {
    TFormMain w(*system, Files());
    w.close();
  }
  EXPECT_EQ(backups(), 1);
  {
    TRegistry reg(*system->registry);
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
  }
  EXPECT_EQ(backups(), 1);
  TRegistry reg(*system->registry);
  reg.SetRootKey(kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadInteger("RunCounter"), 2);
}

TEST_F(MainWindowTest, RemoveTakesTheSelectedRowsOut) {
  TFormMain w(*system, Files());
  w.List()->selectRow(1);  // Broken
  std::vector<std::string> told;
  w.tellUser = [&](const QString&, const QString& text) { told.push_back(text.toStdString()); };
  std::vector<std::string> asked;
  w.confirm = [&](TConfirmDialog& dialog) {
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

}  // namespace
}  // namespace pgl

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
