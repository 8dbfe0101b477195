// Which actions the main window offers in each state, and that every action is found by its id.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "ui/main/ActionRules.h"
#include "ui/main/MainTexts.h"

namespace pgl {
namespace {

TEST(ActionRules, EveryActionIsFoundByItsId) {
  ASSERT_EQ(MainActions().size(), kActionCount);
  for (std::size_t i = 0; i < kActionCount; ++i)
    EXPECT_EQ(static_cast<std::size_t>(MainActions()[i].id), i) << MainActions()[i].name;
  for (const TextPair& button : ToolbarButtons())
    EXPECT_NE(ActionOf(ToolbarButtonAction(button.name)).image, -1) << button.name;
}

// Alt and a letter open one menu of the menu bar, in either language.
TEST(ActionRules, EveryMenuBarTitleHasItsOwnAccessKey) {
  for (const Language lang : kLanguages) {
    std::set<std::string> keys;
    for (const TextPair& menu : MainMenus()) {
      if (!std::string(menu.name).starts_with("mnu") || std::string(menu.name) == "mnuViewStyle")
        continue;
      const std::string title = menu.Text(lang);
      const auto amp = title.find('&');
      ASSERT_NE(amp, std::string::npos) << title;
      // The letter after '&', as one UTF-8 character folded to lower case where it is ASCII.
      std::string key = title.substr(amp + 1, (title[amp + 1] & 0x80) ? 2 : 1);
      if (key.size() == 1) key[0] = static_cast<char>(std::tolower(key[0]));
      EXPECT_TRUE(keys.insert(key).second) << title << " shares its key";
    }
  }
}

TEST(ActionRules, CommandsNeedASelectionAndNoCommandRunning) {
  struct Case {
    const char* what;
    int selected, rows;
    bool idle;
    bool uninstall, copy, details, search, refresh;
  };
  const Case cases[] = {
      {"empty list", 0, 0, true, false, false, false, false, true},
      {"rows, none selected", 0, 5, true, false, false, false, true, true},
      {"one selected", 1, 5, true, true, true, true, true, true},
      {"several selected", 3, 5, true, true, true, true, true, true},
      {"while a command runs", 2, 5, false, false, true, true, true, false},
  };
  for (const Case& c : cases) {
    ActionInputs in;
    in.selectedRows = c.selected;
    in.rows = c.rows;
    in.idle = c.idle;
    const ActionState s = ComputeActionState(in);
    EXPECT_EQ(s[ActionId::Uninstall].enabled, c.uninstall) << c.what;
    EXPECT_EQ(s[ActionId::Remove].enabled, c.uninstall) << c.what;
    EXPECT_EQ(s[ActionId::CopySelected].enabled, c.copy) << c.what;
    EXPECT_EQ(s[ActionId::ShowDetails].enabled, c.details) << c.what;
    EXPECT_EQ(s[ActionId::Search].enabled, c.search) << c.what;
    EXPECT_EQ(s[ActionId::Refresh].enabled, c.refresh) << c.what;
  }
}

TEST(ActionRules, ChecksFollowViewAndOptions) {
  const std::pair<ViewStyle, ActionId> views[] = {
      {ViewStyle::LargeIcons, ActionId::ViewLargeIcons},
      {ViewStyle::SmallIcons, ActionId::ViewList},
      {ViewStyle::List, ActionId::ViewSmallIcons},
      {ViewStyle::Details, ActionId::ViewDetails},
  };
  for (const auto& [style, checked] : views) {
    ActionInputs in;
    in.viewStyle = style;
    const ActionState s = ComputeActionState(in);
    for (const auto& [other, id] : views)
      EXPECT_EQ(s[id].checked, id == checked) << ActionOf(id).name;
  }
  ActionInputs in;
  in.showOnlyInvalid = true;
  in.showInvalid = false;
  in.lang = Language::Polish;
  in.toolbarVisible = false;
  in.toolbarGradient = false;
  in.findNextEnabled = true;
  const ActionState s = ComputeActionState(in);
  EXPECT_EQ(s[ActionId::InvalidVisible], (ActionFlags{false, false}));
  EXPECT_TRUE(s[ActionId::ShowOnlyInvalid].checked);
  EXPECT_TRUE(s[ActionId::SetLangPL].checked);
  EXPECT_FALSE(s[ActionId::SetLangEN].checked);
  EXPECT_FALSE(s[ActionId::ShowHideToolbar].checked);
  EXPECT_TRUE(s[ActionId::ShowHideBottomPanel].checked);
  EXPECT_FALSE(s[ActionId::Gradient].checked);
  EXPECT_TRUE(s[ActionId::FindNext].enabled);
}

}  // namespace
}  // namespace pgl
