// The window on a real prefix: uninstalling a program installed by a real NSIS package and one
// installed by a real MSI package, and removing an entry, with the rows leaving the list; and on
// every prefix at once, each program uninstalled in its own prefix.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTableView>
#include <filesystem>

#include "../ui/WindowTestSupport.h"
#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/ManagedSystem.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/LeftoversDialog.h"

namespace pgl {
namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kMsiCode = "{3C5B7A91-2D4E-4F60-8A1B-9C0D1E2F3A4B}";

std::vector<std::string> Names(const TFormMain& w) {
  std::vector<std::string> names;
  for (int r = 0; r < w.Model()->rowCount(); ++r) names.push_back(w.Model()->CellText(r, 0));
  return names;
}

void Select(TFormMain& w, const std::vector<std::string>& names) {
  w.List()->clearSelection();
  for (int r = 0; r < w.Model()->rowCount(); ++r)
    for (const auto& name : names)
      if (w.Model()->CellText(r, 0) == name)
        w.List()->selectionModel()->select(w.Model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The prefix as the window opens it, with the environment Wine's programs get there.
std::unique_ptr<ManagedSystem> OpenInWineEnvironment(const std::string& prefix,
                                                     std::string& error) {
  for (const auto& [name, value] : e2e::WineEnvironment(prefix))
    ::setenv(name.c_str(), value.c_str(), 1);
  return OpenManagedSystem(error);
}

ProgramFiles FilesIn(const test::TempDir& dir) {
  return {dir / "pgl.ini", dir / "pgl_Errors.log", dir.Path(), "/opt/pgl/pgl",
          dir / "pgl_Search.log"};
}

TEST(Window, UninstallRunsRealUninstallersAndTheRowsLeave) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", true);
  {
    // The quiet removal that MSI packages commonly register: no dialog waits for an answer.
    WinePrefixRegistry registry(prefix);
    ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, kUninstall + kMsiCode,
                               "UninstallString", "MsiExec.exe /X" + kMsiCode + " /qn"));
  }
  std::string error;
  auto system = OpenInWineEnvironment(prefix, error);
  ASSERT_NE(system, nullptr) << error;
  TFormMain w(*system, FilesIn(dir));
  w.show();
  std::vector<std::string> confirmed, told;
  w.Services().confirm = [&](TConfirmDialog& dialog) {
    confirmed.push_back(dialog.objectName().toStdString());
    return true;
  };
  w.Services().tellUser = [&](const QString&, const QString& text) {
    told.push_back(text.toStdString());
  };
  // What the uninstallers left is offered after the batch; nothing is moved here.
  w.Services().confirmLeftovers = [](LeftoversDialog&) { return false; };
  const auto names = Names(w);
  ASSERT_NE(std::find(names.begin(), names.end(), "Purgelet Demo Café"), names.end());
  ASSERT_NE(std::find(names.begin(), names.end(), "Purgelet MSI Demo"), names.end());

  Select(w, {"Purgelet Demo Café", "Purgelet MSI Demo"});
  test::Choose(w, "actUninstall");
  EXPECT_EQ(confirmed, std::vector<std::string>{"TFormUninstall"});
  EXPECT_TRUE(told.empty()) << told.front();
  EXPECT_EQ(w.Errors().ErrorCount(), 0) << w.Errors().Text();
  EXPECT_TRUE(w.isVisible());  // hidden while the uninstallers ran, shown again
  const auto after = Names(w);
  EXPECT_EQ(std::find(after.begin(), after.end(), "Purgelet Demo Café"), after.end());
  EXPECT_EQ(std::find(after.begin(), after.end(), "Purgelet MSI Demo"), after.end());
  EXPECT_EQ(after.size(), names.size() - 2);
  WinePrefixRegistry registry(prefix);
  EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, kUninstall + "PurgeletDemo"));
  EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, kUninstall + kMsiCode));
  EXPECT_FALSE(
      std::filesystem::exists(prefix + "/drive_c/Program Files/Purgelet Demo PurgeletDemo"));
}

TEST(Window, AllPrefixesUninstallsEachProgramInItsOwnPrefix) {
  // Two prefixes with the same program under the same key; the second one's is uninstalled.
  test::TempDir dir;
  const std::string first = e2e::NewPrefixWithPrograms(dir / "first", false);
  const std::string second = e2e::NewPrefixWithPrograms(dir / "second", false);
  std::string error;
  auto system = OpenInWineEnvironment(first, error);
  ASSERT_NE(system, nullptr) << error;
  TFormMain w(*system, FilesIn(dir));
  w.show();
  w.Services().confirm = [](TConfirmDialog&) { return true; };
  w.Services().confirmLeftovers = [](LeftoversDialog&) { return false; };
  w.SetPrefixes({{"First", first, "", "win64"}, {"Second", second, "", "win64"}});
  ASSERT_TRUE(w.ShowAllPrefixes());
  const int rows = w.Model()->rowCount();
  w.List()->clearSelection();
  for (int r = 0; r < rows; ++r)
    if (w.Model()->CellText(r, 0) == "Purgelet Demo Café" &&
        w.Model()->CellText(r, EntryListModel::kPrefixColumn) == "Second")
      w.List()->selectRow(r);
  ASSERT_EQ(w.ListView()->SelectedRows().size(), 1u);
  test::Choose(w, "actUninstall");
  EXPECT_EQ(w.Errors().ErrorCount(), 0) << w.Errors().Text();
  EXPECT_EQ(w.Model()->rowCount(), rows - 1);
  const std::string files = "/drive_c/Program Files/Purgelet Demo PurgeletDemo";
  EXPECT_FALSE(std::filesystem::exists(second + files));
  EXPECT_TRUE(std::filesystem::exists(first + files));
  for (const std::string& prefix : {first, second}) {
    WinePrefixRegistry registry(prefix);
    EXPECT_EQ(RegKeyExists(registry, kHkeyLocalMachine, kUninstall + "PurgeletDemo"),
              prefix == first)
        << prefix;
  }
}

}  // namespace
}  // namespace pgl

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
