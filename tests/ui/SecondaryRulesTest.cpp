// The Details window's rows (every value type, the decoded usage record, copying) and the
// Search window's rules (match modes, the two search kinds, the history and its file).
#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "TestSupport.h"
#include "inventory/UCollection.h"
#include "registry/RegTree.h"
#include "registry/RegistryStore.h"
#include "ui/windows/DetailsRows.h"
#include "ui/windows/SearchRules.h"

namespace pgl {
namespace {

const char kMachine[] =
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1700000000\n"
    "@=\"default\"\n"
    "\"DisplayName\"=\"My App\"\n"
    "\"UninstallString\"=\"C:\\\\u.exe\"\n"
    "\"URLInfoAbout\"=\"http://example.com\"\n"
    "\"Count\"=dword:ffffffff\n"
    "\"Big\"=hex(b):00,00,00,40,01,00,00,00\n"
    "\"Lines\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
    "\"Blob\"=hex:01,00,ff\n"
    "\"Path\"=str(2):\"%ProgramFiles%\\\\App\"\n"
    R"([Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\App] )"
    "1700000000\n";

std::string SlowInfoHex(std::int64_t size) {
  TSlowInfoCache record;
  record.head[0] = 0x28;
  record.head[1] = 0x02;
  record.head[4] = 1;
  record.SetInstalledSize(size);
  record.SetTimesUsed(7);
  record.SetImageName(u"C:\\App\\app.exe");
  std::string hex;
  const std::string bytes = record.Bytes();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    static const char d[] = "0123456789abcdef";
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (i) hex += ',';
    hex += d[b >> 4];
    hex += d[b & 15];
  }
  return hex;
}

TEST(DetailsRows, EveryValueTypeIsShownReadably) {
  MemoryRegistry registry;
  ASSERT_TRUE(registry.LoadWineText(
      kHkeyLocalMachine,
      std::string(kMachine) + "\"SlowInfoCache\"=hex:" + SlowInfoHex(5368709120LL) + "\n"));
  const DetailsContent content = ReadDetails(registry, UninstallView::Machine, "App");
  EXPECT_EQ(content.uninstallKey,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App");
  std::vector<std::string> got;
  for (const DetailsRow& row : content.rows)
    got.push_back(row.no + "|" + row.name + "|" + row.value + "|" + std::to_string(row.image));
  const std::vector<std::string> expected = {
      "+|||-1",
      " 1|(Default)|default|1",
      " 2|Big|5368709120|0",
      " 3|Blob|01 00 FF|0",
      " 4|Count|-1|0",
      " 5|DisplayName|My App|1",
      " 6|Lines|a\nb|1",
      " 7|Path|%ProgramFiles%\\App|1",
      " 8|UninstallString|C:\\u.exe|1",
      " 9|URLInfoAbout|http://example.com|1",
      "-|||-1",
      " 1|SlowInfoCache||0",
      ":|||-1",
      " 1|Size|552|-1",
      " 2|HasName|1|-1",
      " 3|InstallSize|5368709120 (5.00 GB)|-1",
      " 4|LastUsed||-1",
      " 5|Frequency|7|-1",
      " 6|Name|C:\\App\\app.exe|-1",
  };
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (i == 11) {  // the record's own row: its bytes in hexadecimal
      EXPECT_TRUE(got[i].starts_with(" 1|SlowInfoCache|28 02 00 00 01 00")) << got[i];
      continue;
    }
    EXPECT_EQ(got[i], expected[i]) << i;
  }
  // Copying a header and a value row.
  const std::string copied = DetailsCopyText({&content.rows[0], &content.rows[5]});
  EXPECT_EQ(copied,
            "//////////////////// Uninstall Key ////////////////////\r\nDisplayName\tMy App\r\n");
  EXPECT_EQ(DetailsCopyText({}), "");
  // Looks: the name bold, links blue, uninstall commands dark red.
  EXPECT_TRUE(ValueLook(content.rows[5]).bold);
  EXPECT_EQ(ValueLook(content.rows[9]).text, 0x0000FFu);
  EXPECT_EQ(ValueLook(content.rows[8]).text, 0x800000u);
  EXPECT_FALSE(ValueLook(content.rows[4]).text.has_value());

  // A record under another spelling of the name, or of another size, is listed, not decoded.
  for (const std::string& value :
       {"\"slowinfocache\"=hex:" + SlowInfoHex(1), std::string("\"SlowInfoCache\"=hex:00,01")}) {
    MemoryRegistry other;
    ASSERT_TRUE(other.LoadWineText(kHkeyLocalMachine, std::string(kMachine) + value + "\n"));
    const DetailsContent rows = ReadDetails(other, UninstallView::Machine, "App");
    ASSERT_EQ(rows.rows.size(), 13u);
    EXPECT_EQ(rows.rows[11].kind, DetailsRow::Kind::Value);
    EXPECT_EQ(rows.rows.back().name, "Size");  // no usage record: where a size would come from
  }
}

TEST(DetailsRows, MissingKeysGiveNoRowsAndOtherPlacesWork) {
  MemoryRegistry registry;
  EXPECT_TRUE(ReadDetails(registry, UninstallView::Machine, "App").rows.empty());
  ASSERT_TRUE(registry.LoadWineText(
      kHkeyCurrentUser,
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Mine] 1700000000\n"
      "\"DisplayName\"=\"Mine\"\n"));
  const DetailsContent content = ReadDetails(registry, UninstallView::User, "Mine");
  EXPECT_EQ(content.uninstallKey,
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine");
  EXPECT_EQ(content.arpCacheKey, "");
  ASSERT_EQ(content.rows.size(), 3u);
  EXPECT_EQ(content.rows[2].value, "not known: there is no usage record and no EstimatedSize");
}

TEST(SearchRules, MatchModesAndColumns) {
  const std::vector<std::string> cells = {
      "Microsoft Office", "Microsoft", "", "", "", "", "C:\\Office\\office.EXE", "",
      "C:\\u.exe /x"};
  const auto cell = [&](int c) { return cells[static_cast<std::size_t>(c)]; };
  struct Case {
    const char* text;
    SearchOptions options;
    bool match;
  };
  SearchOptions cased;
  cased.ignoreCase = false;
  SearchOptions start;
  start.mode = MatchMode::Start;
  SearchOptions end;
  end.mode = MatchMode::End;
  end.name = false;
  end.exeFile = true;
  SearchOptions endCased = end;
  endCased.ignoreCase = false;
  SearchOptions uninstall;
  uninstall.name = false;
  uninstall.uninstallCommand = true;
  const Case cases[] = {{"office", SearchOptions{}, true},
                        {"office", cased, false},
                        {"Office", cased, true},
                        {"micro", start, true},
                        {"office", start, false},
                        {"exe", end, true},
                        {"exe", endCased, false},
                        {"EXE", endCased, true},
                        {"/x", uninstall, true},
                        {"office", uninstall, false},
                        {"Microsoft Office 2", start, false}};
  for (const Case& c : cases)
    EXPECT_EQ(MatchesSearch(cell, PrepareSearchText(c.text, c.options), c.options), c.match)
        << c.text;
}

TEST(SearchRules, SelectAllAndOneAtATime) {
  const auto matches = [](int row) { return row == 2 || row == 7; };
  SearchOutcome all = RunSearch(10, 4, true, matches);
  EXPECT_EQ(all.selected, (std::vector<int>{2, 7}));
  EXPECT_EQ(all.scrollTo, 2);
  EXPECT_TRUE(all.setsFindNext);
  EXPECT_FALSE(all.findNextEnabled);
  // The fifth row selected: the eighth is found; again from there: nothing, back to the eighth.
  SearchOutcome next = RunSearch(10, 4, false, matches);
  EXPECT_EQ(next.selected, std::vector<int>{7});
  EXPECT_TRUE(next.findNextEnabled);
  SearchOutcome again = RunSearch(10, 7, false, matches);
  EXPECT_EQ(again.selected, std::vector<int>{7});
  EXPECT_FALSE(again.findNextEnabled);
  // From the last row the search starts again at the first.
  EXPECT_EQ(RunSearch(10, 9, false, matches).selected, std::vector<int>{2});
  // Nothing selected and nothing found: Find next keeps its state.
  EXPECT_FALSE(RunSearch(10, -1, false, [](int) { return false; }).setsFindNext);
}

TEST(SearchRules, HistoryOrderLimitsAndFile) {
  test::TempDir dir;
  SearchHistory history;
  history.Add("microsoft");  // another case: a new item first
  history.Add("Adobe");      // already there: stays where it is
  history.Add("");
  EXPECT_EQ(history.Items(),
            (std::vector<std::string>{"microsoft", "Adobe", "Borland", "CodeGear", "Microsoft"}));
  std::string file;
  for (int i = 0; i < 300; ++i) file += "item " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
  file += "Adobe\r";
  test::WriteFile(dir / "pgl_Search.log", file);
  SearchHistory loaded;
  ASSERT_TRUE(loaded.Load(dir / "pgl_Search.log"));
  ASSERT_EQ(loaded.Items().size(), 200u);
  EXPECT_EQ(loaded.Items()[4], "item 0");
  EXPECT_EQ(loaded.Items()[199], "item 195");
  for (int i = 0; i < 10; ++i) loaded.Add("new " + std::to_string(i));
  ASSERT_TRUE(loaded.Save(dir / "out.log"));
  const std::string saved = test::ReadFile(dir / "out.log");
  EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 201);
  EXPECT_TRUE(saved.starts_with("new 9\r\nnew 8\r\n"));
  SearchHistory none;
  EXPECT_TRUE(none.Load(dir / "missing.log"));
  EXPECT_EQ(none.Items().size(), 4u);
}

// A history file that cannot be read (too large to be ours, a folder) is never replaced at
// close.
TEST(SearchHistoryFile, WhatCannotBeReadIsLeftAlone) {
  test::TempDir dir;
  const std::string huge = dir / "huge.log";
  test::WriteFile(huge, "big\r\n" + std::string(SearchHistory::kMaxFileBytes, 'x'));
  const std::string folder = dir / "folder.log";
  test::MakeDirs(folder);
  for (const std::string& path : {huge, folder}) {
    SearchHistory history;
    EXPECT_FALSE(history.Load(path)) << path;
    history.Add("new");
    EXPECT_FALSE(history.Save(path)) << path;
  }
  EXPECT_EQ(std::filesystem::file_size(huge), SearchHistory::kMaxFileBytes + 5);
}

#ifndef _WIN32
// A FIFO in the history's place neither blocks the window at close nor receives anything,
// whether it was there at start or took the place of a readable history later.
TEST(SearchHistoryFile, AFifoIsNeitherReadNorWritten) {
  test::TempDir dir;
  const std::string fifo = dir / "fifo.log";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Its reading end is open, so that a writer that did open it would not block but write.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  SearchHistory atStart;
  EXPECT_FALSE(atStart.Load(fifo));
  atStart.Add("new");
  EXPECT_FALSE(atStart.Save(fifo));
  SearchHistory later;
  const std::string swapped = dir / "swapped.log";
  test::WriteFile(swapped, "old\r\n");
  ASSERT_TRUE(later.Load(swapped));
  std::filesystem::remove(swapped);
  ASSERT_EQ(::mkfifo(swapped.c_str(), 0600), 0);
  EXPECT_FALSE(later.Save(swapped));
  char c;
  EXPECT_LE(::read(reader, &c, 1), 0);
  ::close(reader);
}
#endif

}  // namespace
}  // namespace pgl
