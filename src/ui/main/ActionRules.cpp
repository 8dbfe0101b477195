#include "ui/main/ActionRules.h"

namespace pgl {

ActionState ComputeActionState(const ActionInputs& in) {
  ActionState state;
  const bool selected = in.selectedRows > 0;
  state[ActionId::Uninstall].enabled = selected && in.idle;
  state[ActionId::UninstallQuietly].enabled = selected && in.idle;
  state[ActionId::UndoRemove].enabled = in.canUndoRemove && in.idle;
  state[ActionId::Remove].enabled = selected && in.idle;
  state[ActionId::Leftovers].enabled = selected && in.idle;
  state[ActionId::DesktopEntries].enabled = in.idle;
  state[ActionId::CopySelected].enabled = selected;
  state[ActionId::ShowDetails].enabled = selected;
  state[ActionId::Search].enabled = in.rows > 0;
  state[ActionId::FindNext].enabled = in.findNextEnabled;
  // Another prefix's list, a rescan or a language switch mid-command would pull the rows from
  // under it.
  state[ActionId::Refresh].enabled = in.idle;
  // A backup is of one prefix, and a restore goes to one: not while every prefix is shown.
  state[ActionId::Restore].enabled = in.idle && !in.severalSystems;
  state[ActionId::RegBackup].enabled = !in.severalSystems;
  state[ActionId::ViewLargeIcons].checked = in.viewStyle == ViewStyle::LargeIcons;
  state[ActionId::ViewList].checked = in.viewStyle == ViewStyle::SmallIcons;
  state[ActionId::ViewSmallIcons].checked = in.viewStyle == ViewStyle::List;
  state[ActionId::ViewDetails].checked = in.viewStyle == ViewStyle::Details;
  state[ActionId::SystemComponentsVisible].checked = in.systemComponentsVisible;
  state[ActionId::ShowOnlyInvalid].checked = in.showOnlyInvalid;
  // Only invalid entries shown: whether invalid ones are shown is not the user's to change.
  state[ActionId::InvalidVisible].enabled = !in.showOnlyInvalid;
  state[ActionId::InvalidVisible].checked = in.showInvalid;
  state[ActionId::SetLangEN].checked = in.lang == Language::English;
  state[ActionId::SetLangPL].checked = in.lang == Language::Polish;
  state[ActionId::ShowHideToolbar].checked = in.toolbarVisible;
  state[ActionId::ShowHideBottomPanel].checked = in.panelVisible;
  state[ActionId::Gradient].checked = in.toolbarGradient;
  state[ActionId::ToolbarList].checked = in.toolbarList;
  return state;
}

}  // namespace pgl
