// The Prefixes window: every prefix largest first, a removed game's standing out; Delete on the
// list removes the chosen one after the question, never the one the main window shows; the
// saves are written where the user picks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "platform/SharedFiles.h"
#include "ui/main/TFormMain.h"
#include "ui/windows/PrefixesRules.h"
#include "ui/windows/TFormPrefixes.h"
#include "util/QV_Conversion.h"

namespace pgl {
namespace {

namespace fs = std::filesystem;

std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

void File(const std::string& path, std::size_t size) {
  test::MakeDirs(fs::path(path).parent_path().string());
  test::WriteFile(path, std::string(size, 'x'));
}

class PrefixesWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("HOME");
    oldHome = old ? old : "";
    ::setenv("HOME", home.Path().c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    compat = home / ".local/share/Steam/steamapps/compatdata/730";
    File(compat + "/pfx/system.reg", 100);
    File(compat + "/pfx/drive_c/big.dll", 300000);
    File(compat + "/pfx/drive_c/users/steamuser/Saved Games/Game/slot1.sav", 5000);
    File(home / ".wine/system.reg", 100);
    File(home / ".wine-small/system.reg", 100);
    known = {{"Steam app 730", compat + "/pfx", "Steam", "win64", compat, "Steam app 730",
              OwnerState::Removed},
             {"~/.wine", home / ".wine", "Wine", "win64", home / ".wine", "", OwnerState::None},
             {"~/.wine-small", home / ".wine-small", "Wine", "win64", home / ".wine-small", "",
              OwnerState::None}};
    services.tellUser = [this](const QString&, const QString& text) { told << text; };
    services.ask = [this](const QString& question) {
      asked << question;
      return true;
    };
    services.chooseFolder = [this](const QString& title) {
      folderTitles << title;
      return QString::fromStdString(saves.Path());
    };
  }
  void TearDown() override { ::setenv("HOME", oldHome.c_str(), 1); }

  std::vector<std::string> Names(const TFormPrefixes& w) {
    std::vector<std::string> names;
    for (const PrefixRow& row : w.Rows()) names.push_back(row.prefix.name);
    return names;
  }
  void Measure(TFormPrefixes& w) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Measured(); }, 10000));
  }

  test::TempDir home, saves;
  std::string oldHome, compat;
  std::vector<KnownSystem> known;
  WindowServices services;
  QStringList told, asked, folderTitles;
};

TEST_F(PrefixesWindowTest, LargestFirstAndTheRemovedGameStandsOut) {
  QWidget owner;
  TFormPrefixes w(&owner, services);
  w.ShowPrefixes(known, {home / ".wine"});
  Measure(w);
  EXPECT_EQ(Names(w).front(), "Steam app 730");
  QTableWidget* table = w.Table();
  EXPECT_TRUE(table->item(0, 0)->font().bold());
  EXPECT_FALSE(table->item(1, 0)->font().bold());
  EXPECT_EQ(table->horizontalHeaderItem(static_cast<int>(PrefixColumn::State))->text(), "State");
  EXPECT_EQ(table->item(0, static_cast<int>(PrefixColumn::State))->text(), "removed");
  w.SetLang(Language::Polish);
  EXPECT_EQ(table->item(0, static_cast<int>(PrefixColumn::State))->text(), "usunięty");
  // No Steam game here: no shader cache or cloud column.
  EXPECT_TRUE(table->isColumnHidden(static_cast<int>(PrefixColumn::ShaderCache)));
  EXPECT_TRUE(table->isColumnHidden(static_cast<int>(PrefixColumn::Cloud)));
  EXPECT_EQ(w.windowTitle(), "Prefiksy");
}

// A removed game's shader cache: its own column, the lighter part of the size bar, counted in
// the status line and named in the question, with whether Steam's cloud keeps its saves; the
// cache goes to the trash with the prefix.
TEST_F(PrefixesWindowTest, AGamesShaderCacheIsShownCountedAndRemovedWithIt) {
  const std::string cache = home / ".local/share/Steam/steamapps/shadercache/730";
  File(cache + "/fozpipelinesv6/a.foz", 600000);
  known[0].shaderCache = cache;
  known[0].cloudSaves = CloudSaves::No;
  QWidget owner;
  TFormPrefixes w(&owner, services);
  w.ShowPrefixes(known, {home / ".wine"});
  Measure(w);
  const PrefixRow& game = w.Rows().front();
  ASSERT_EQ(game.prefix.name, "Steam app 730");
  ASSERT_TRUE(game.usage && game.usage->shaderCacheBytes);
  EXPECT_GE(*game.usage->shaderCacheBytes, 600000u);
  QTableWidget* table = w.Table();
  const auto cell = [&](PrefixColumn c) {
    return table->item(0, static_cast<int>(c))->text().toStdString();
  };
  EXPECT_EQ(cell(PrefixColumn::ShaderCache),
            Trimmed(SizeToText(static_cast<std::int64_t>(*game.usage->shaderCacheBytes))));
  EXPECT_EQ(cell(PrefixColumn::Size), Trimmed(SizeToText(static_cast<std::int64_t>(
                                          game.usage->sizeBytes + *game.usage->shaderCacheBytes))));
  EXPECT_EQ(cell(PrefixColumn::Cloud), "no");
  EXPECT_FALSE(table->isColumnHidden(static_cast<int>(PrefixColumn::ShaderCache)));
  // The largest row's bar is full: the prefix's part, then the cache's.
  const SizeShares shares = SizeShareOf(game, RowBytes(game));
  EXPECT_NEAR(shares.prefix + shares.cache, 1.0, 1e-9);
  EXPECT_GT(shares.cache, shares.prefix);
  const QString summary = w.findChild<QLabel*>("lblRemovedSummary")->text();
  EXPECT_TRUE(summary.startsWith("1 removed games: ")) << summary.toStdString();
  EXPECT_TRUE(summary.contains(" shader caches")) << summary.toStdString();
  w.show();
  QApplication::setActiveWindow(&w);
  w.Table()->setFocus();
  w.Table()->selectRow(0);
  QTest::keyClick(w.Table(), Qt::Key_Delete);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains("shader cache: ")) << asked[0].toStdString();
  EXPECT_TRUE(asked[0].contains("its saves are in no cloud")) << asked[0].toStdString();
  EXPECT_FALSE(fs::exists(compat));
  EXPECT_FALSE(fs::exists(cache));
  EXPECT_EQ(w.findChild<QLabel*>("lblRemovedSummary")->text(), "");
}

TEST_F(PrefixesWindowTest, DeleteRemovesTheChosenPrefixButNeverTheShownOne) {
  QWidget owner;
  TFormPrefixes w(&owner, services);
  QStringList notices;
  int changed = 0;
  QObject::connect(&w, &TFormPrefixes::notice, [&](const QString& text) { notices << text; });
  QObject::connect(&w, &TFormPrefixes::prefixesChanged, [&] { ++changed; });
  w.ShowPrefixes(known, {home / ".wine"});
  Measure(w);
  w.show();
  QApplication::setActiveWindow(&w);
  w.Table()->setFocus();
  // The shown prefix: refused, nothing asked.
  for (int r = 0; r < w.Table()->rowCount(); ++r)
    if (w.Rows()[static_cast<std::size_t>(r)].prefix.name == "~/.wine") w.Table()->selectRow(r);
  QTest::keyClick(w.Table(), Qt::Key_Delete);
  EXPECT_TRUE(asked.isEmpty());
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].contains("show another prefix first")) << told[0].toStdString();
  EXPECT_TRUE(fs::exists(home / ".wine/system.reg"));
  // The removed game's: asked with its owner, size and saves, then gone with its saves kept.
  w.Table()->clearSelection();
  w.Table()->selectRow(0);
  QTest::keyClick(w.Table(), Qt::Key_Delete);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].contains("owner: Steam app 730 (removed)")) << asked[0].toStdString();
  EXPECT_TRUE(asked[0].contains("saves: ")) << asked[0].toStdString();
  EXPECT_FALSE(fs::exists(compat));
  EXPECT_TRUE(fs::exists(home / "Documents/Purgelet saves"));
  EXPECT_EQ(notices, QStringList{"Prefixes moved to the trash: 1"});
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(Names(w), (std::vector<std::string>{"~/.wine", "~/.wine-small"}));
}

TEST_F(PrefixesWindowTest, TheSavesGoWhereTheUserPicks) {
  QWidget owner;
  TFormPrefixes w(&owner, services);
  QStringList notices;
  QObject::connect(&w, &TFormPrefixes::notice, [&](const QString& text) { notices << text; });
  w.ShowPrefixes(known, {});
  Measure(w);
  w.show();
  w.Table()->selectRow(0);
  QTest::mouseClick(w.findChild<QPushButton*>("btnSaveSaves"), Qt::LeftButton);
  ASSERT_EQ(notices.size(), 1);
  EXPECT_EQ(notices[0].toStdString(), "Saves written: 1 files to " + saves.Path());
  EXPECT_EQ(folderTitles, QStringList{"The folder for the saves' archives"});
  std::size_t archives = 0;
  for (const auto& e : fs::directory_iterator(saves.Path()))
    archives += e.path().string().ends_with(".tar.zst");
  EXPECT_EQ(archives, 1u);
  EXPECT_TRUE(fs::exists(compat + "/pfx/system.reg"));  // saving removes nothing
  // A prefix without saves says so.
  w.Table()->clearSelection();
  w.Table()->selectRow(2);
  QTest::mouseClick(w.findChild<QPushButton*>("btnSaveSaves"), Qt::LeftButton);
  EXPECT_EQ(told, QStringList{"The chosen prefixes hold no saves."});
}

// "Share identical files..." on prefixes whose file system cannot share (the test's own: ext4
// or tmpfs) says why and changes nothing; where it can, the copies are shared and told.
TEST_F(PrefixesWindowTest, SharingIdenticalFilesSaysWhyNotOrWhatItShared) {
  File(home / ".wine/drive_c/big.dll", 300000);  // the same bytes as the game's
  QWidget owner;
  TFormPrefixes w(&owner, services);
  QStringList notices;
  QObject::connect(&w, &TFormPrefixes::notice, [&](const QString& text) { notices << text; });
  w.ShowPrefixes(known, {});
  Measure(w);
  w.show();
  const std::string why = WhySharingIsImpossible({compat + "/pfx", home / ".wine"});
  QTest::mouseClick(w.findChild<QPushButton*>("btnShareFiles"), Qt::LeftButton);
  if (!why.empty()) {
    EXPECT_EQ(told, QStringList{QString::fromStdString(why)});
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(test::ReadFile(home / ".wine/drive_c/big.dll"), std::string(300000, 'x'));
    return;
  }
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].startsWith("These prefixes hold 1 copies of 1 files"))
      << asked[0].toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Sharing(); }, 10000));
  EXPECT_EQ(notices, QStringList{"Shared: 0.3 MB in 1 files"});
}

}  // namespace
}  // namespace pgl

namespace pgl {
namespace {

using test::MainWindowTest;

// The Prefix menu's last item opens the window, with the prefixes the chooser offers.
TEST_F(MainWindowTest, ThePrefixMenuOpensThePrefixesWindow) {
  TFormMain w(*system, Files());
  w.SetPrefixes({{"Home", dir.Path(), "", "win64"}});
  w.show();
  QApplication::setActiveWindow(&w);
  w.List()->setFocus();
  QTest::keyClick(w.List(), Qt::Key_P, Qt::AltModifier);
  QMenu* menu = w.Menu("mnuPrefix");
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 2000));
  QTest::keyClick(menu, Qt::Key_Up);  // from the first item round to the last
  EXPECT_EQ(menu->activeAction()->objectName(), "actPrefixes");
  QTest::keyClick(menu, Qt::Key_Return);
  TFormPrefixes* prefixes = w.PrefixesWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return prefixes->isVisible(); }, 2000));
  ASSERT_EQ(prefixes->Rows().size(), 1u);
  EXPECT_TRUE(prefixes->Rows()[0].shown);  // the window shows it: not removed from here
  EXPECT_EQ(prefixes->Rows()[0].prefix.name, "Home");
}

}  // namespace
}  // namespace pgl
