// The window on a temporary prefix with three entries (a valid one with a link, an invalid one,
// a system component), and what the window hands to the desktop.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <filesystem>

#include "TestSupport.h"
#include "platform/ManagedSystem.h"
#include "registry/WineRegFile.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/InfoPanel.h"
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

}  // namespace test
}  // namespace pgl
