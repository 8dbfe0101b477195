#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "TestSupport.h"
#include "inventory/UCollection.h"
#include "platform/wine/WinePlatform.h"

namespace pgl {
namespace {

class CollectionTest : public ::testing::Test {
 protected:
  void SetUp() override { test::MakePrefixDirs(dir.Path()); }
  TUninstallCollection Make() { return TUninstallCollection(registry, platform()); }
  WinePlatform& platform() {
    if (!platform_) platform_ = std::make_unique<WinePlatform>(dir.Path(), registry);
    return *platform_;
  }
  test::TempDir dir;
  MemoryRegistry registry;
  std::unique_ptr<WinePlatform> platform_;
};

// The order the sort must give: a plain selection sort by exchange of records, written here
// from its description, comparing with the collection's own CompareItems.
void SelectionSort(TUninstallCollection& c, SortKey key, bool ascending, bool byName) {
  for (int i = 0; i < c.Count(); ++i) {
    int pick = i;
    for (int j = i; j < c.Count(); ++j) {
      const int r = c.CompareItems(j, pick, true, byName ? SortKey::DisplayName : key);
      if ((ascending && r < 0) || (!ascending && r > 0)) pick = j;
    }
    std::swap(c.GetItem(pick).UninstallInfo, c.GetItem(i).UninstallInfo);
  }
}

std::vector<std::string> Order(const TUninstallCollection& c) {
  std::vector<std::string> ids;
  for (int i = 0; i < c.Count(); ++i) ids.push_back(c.GetItem(i).UninstallInfo.KeyName.str());
  return ids;
}

void FillRandom(TUninstallCollection& c, std::mt19937& rng, int n) {
  const char* words[] = {"alpha", "Alpha", "ALPHA", "beta", "b",  "B", "",       "zeta",
                         "Ärger", "arger", "a-b",   "ab",   "10", "9", "Zażółć", "zazolc"};
  std::uniform_int_distribution<int> word(0, 15), small(-2, 3), flag(0, 1);
  for (int i = 0; i < n; ++i) {
    TUninstallInfo& info = c.AddItem().UninstallInfo;
    info.KeyName = "id" + std::to_string(i);
    const auto w = [&] { return std::string(words[word(rng)]); };
    info.DisplayName = w();
    info.Publisher = w();
    info.DisplayVersion = w();
    info.ExeFile = w();
    info.DisplayIcon = w();
    info.IconFile = w();
    info.UninstallString = w();
    info.QuietUninstallString = w();
    info.ModifyPath = w();
    info.InstallDate = w();
    info.InstallLocation = w();
    info.InstallSource = w();
    info.URLInfoAbout = w();
    info.URLUpdateInfo = w();
    info.HelpLink = w();
    info.Comments = w();
    info.Contact = w();
    info.Readme = w();
    info.SlowInfo.SetInstalledSize(small(rng) * 1000);
    info.SlowInfo.SetLastUsed(small(rng) < 0 ? ~0ull : static_cast<std::uint64_t>(flag(rng)) << 40);
    info.SlowInfo.SetTimesUsed(small(rng));
    info.HasUsageRecord = flag(rng);
    info.EstimatedSize = flag(rng) ? small(rng) * 1024 : -1;
    info.SystemComponent = flag(rng);
  }
}

// The texts most entries leave empty are kept apart: copies own theirs, emptying one frees it,
// and a long one is cut with its mark like any other field.
TEST(EntryTexts, RareTextsCopyEmptyAndCutLikeTheOthers) {
  const std::string longText(300, 'c');
  const struct {
    std::string given;
    std::string kept;
  } cases[] = {{"", ""}, {"note", "note"}, {longText, std::string(199, 'c') + "\u2026"}};
  for (const auto& c : cases) {
    TUninstallInfo a;
    a.Comments = std::string(c.given);
    a.Readme = std::string_view(c.given);
    a.DisplayName = c.given;
    const TUninstallInfo copy = a;
    EXPECT_EQ(a.Comments.str(), c.kept);
    EXPECT_EQ(a.Readme.str(), c.given.substr(0, 2048));
    EXPECT_EQ(a.Comments.empty(), c.kept.empty());
    a.Comments = std::string();
    a.Readme = "other";
    EXPECT_TRUE(a.Comments.empty());
    EXPECT_EQ(copy.Comments.str(), c.kept);
    EXPECT_EQ(copy.Readme.str(), c.given.substr(0, 2048));
    TUninstallInfo moved = copy;
    const TUninstallInfo taken = std::move(moved);
    EXPECT_EQ(taken.Comments, copy.Comments);
    EXPECT_EQ(taken.Comments.str(), c.kept);
  }
}

TEST_F(CollectionTest, FastSortGivesTheSelectionSortOrder) {
  std::mt19937 rng(20261207);
  std::vector<int> keys;
  for (int k = 0; k <= 21; ++k) keys.push_back(k);
  keys.insert(keys.end(), {100, -1, 50});
  for (const int n : {0, 1, 2, 7, 60, 300}) {
    for (const int key : keys) {
      for (const bool ascending : {true, false}) {
        TUninstallCollection fast = Make(), slow = Make();
        std::mt19937 copy = rng;
        FillRandom(fast, rng, n);
        FillRandom(slow, copy, n);
        fast.SortAscending = ascending;
        fast.SortItems(SortKeyOfTag(key));
        slow.SortAscending = ascending;  // what is not known goes last either way
        SelectionSort(slow, SortKeyOfTag(key), ascending, false);
        ASSERT_EQ(Order(fast), Order(slow)) << "n=" << n << " key=" << key << " asc=" << ascending;
        EXPECT_EQ(fast.CurrentSort, SortKeyOfTag(key));
      }
    }
    TUninstallCollection fast = Make(), slow = Make();
    std::mt19937 copy = rng;
    FillRandom(fast, rng, n);
    FillRandom(slow, copy, n);
    fast.SortByName();
    SelectionSort(slow, SortKey::DisplayName, true, true);
    ASSERT_EQ(Order(fast), Order(slow)) << "by name, n=" << n;
  }
}

TEST_F(CollectionTest, SortEdgeCases) {
  const auto sorted = [&](const std::vector<std::function<void(TUninstallInfo&)>>& setters, int key,
                          bool ascending) {
    TUninstallCollection c = Make();
    for (std::size_t i = 0; i < setters.size(); ++i) {
      TUninstallInfo& info = c.AddItem().UninstallInfo;
      info.KeyName = std::to_string(i);
      setters[i](info);
    }
    c.SortAscending = ascending;
    c.SortItems(SortKeyOfTag(key));
    std::string order;
    for (const auto& id : Order(c)) order += id;
    return order;
  };
  const auto name = [](const char* n) { return [n](TUninstallInfo& i) { i.DisplayName = n; }; };
  const auto size = [](std::int64_t s) {
    return [s](TUninstallInfo& i) {
      i.SlowInfo.SetInstalledSize(s);
      i.HasUsageRecord = true;
    };
  };
  const auto used = [](std::uint64_t t) {
    return [t](TUninstallInfo& i) {
      i.SlowInfo.SetLastUsed(t);
      i.HasUsageRecord = true;
    };
  };
  const auto system = [](bool s) { return [s](TUninstallInfo& i) { i.SystemComponent = s; }; };
  // b, B, a sort to a, B, b: the exchange moves the first b behind the B.
  EXPECT_EQ(sorted({name("b"), name("B"), name("a")}, 0, true), "210");
  // A size or a last use that is not known (a negative size, no use) comes after the known
  // ones, ascending and descending.
  EXPECT_EQ(sorted({size(5), size(0), size(-1)}, 2, true), "102");
  EXPECT_EQ(sorted({size(5), size(-1), size(0)}, 2, false), "021");
  EXPECT_EQ(sorted({used(132224078450000000ull), used(0), used(~0ull)}, 3, true), "201");
  EXPECT_EQ(sorted({used(0), used(132224078450000000ull)}, 3, false), "10");
  const auto estimate = [](std::int64_t s) {
    return [s](TUninstallInfo& i) { i.EstimatedSize = s; };
  };
  const auto none = [](TUninstallInfo&) {};
  EXPECT_EQ(sorted({none, estimate(3 << 20), size(1)}, 2, true), "210");
  EXPECT_EQ(sorted({none, estimate(3 << 20), size(1)}, 2, false), "120");
  EXPECT_EQ(sorted({system(true), system(false)}, 21, true), "10");
  EXPECT_EQ(sorted({name("c"), name("a"), name("b")}, TagOf(SortKey::None), true), "012");
  EXPECT_EQ(sorted({name("x"), name("y")}, 8, true), "01");  // IconFile: equal empty texts
}

TEST_F(CollectionTest, CountingAndPruning) {
  ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine,
                                    "\n[SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\"
                                    "Uninstall\\\\Kept] 1\n\"DisplayName\"=\"k\"\n"));
  TUninstallCollection c = Make();
  EXPECT_EQ(c.TotalCount, 0);
  EXPECT_EQ(c.DeleteNonExisting(), 0);
  c.SortItems(SortKey::DisplayVersion);
  EXPECT_EQ(c.CurrentSort, SortKey::DisplayVersion);
  struct Entry {
    const char* key;
    bool valid, visible, system, exists;
  };
  for (const Entry& e :
       {Entry{"Kept", true, true, false, true}, Entry{"Gone", false, false, true, true},
        Entry{"Dropped", true, true, false, false}}) {
    TUninstallInfo& info = c.AddItem().UninstallInfo;
    info.KeyName = e.key;
    info.Valid = e.valid;
    info.Visible = e.visible;
    info.SystemComponent = e.system;
    info.Exists = e.exists;
  }
  c.UpdateCounts();  // counts the entries that exist, and drops none
  EXPECT_EQ(c.Count(), 3);
  EXPECT_EQ((std::vector<int>{c.TotalCount, c.ValidCount, c.InvalidCount, c.VisibleCount,
                              c.HiddenCount, c.SystemCount, c.NonSystemCount}),
            (std::vector<int>{2, 1, 1, 1, 1, 1, 1}));
  c.CheckKeysExist();
  EXPECT_TRUE(c.GetItem(0).UninstallInfo.Exists);
  EXPECT_FALSE(c.GetItem(1).UninstallInfo.Exists);
  EXPECT_FALSE(c.GetItem(2).UninstallInfo.Exists);
  EXPECT_EQ(c.DeleteNonExisting(), 2);
  EXPECT_EQ(Order(c), std::vector<std::string>{"Kept"});
  EXPECT_THROW(c.GetItem(5), std::out_of_range);
  EXPECT_EQ(c.CompareItems(0, 5, true, SortKey::DisplayName), kNoOrder);
  c.SetSystemComponentsVisible(false);
  EXPECT_FALSE(c.GetSystemComponentsVisible());
}

}  // namespace
}  // namespace pgl
