// Which of the main window's actions are enabled and checked, from what the window shows:
// the selection, the rows, whether a command runs, the view style and the options. Without
// Qt; the window applies the answer to its actions and buttons.
#pragma once

#include <array>

#include "ui/main/ListPresentation.h"
#include "ui/main/MainTexts.h"

namespace pgl {

struct ActionInputs {
  int selectedRows = 0;
  int rows = 0;
  bool idle = true;  // no command (uninstall, remove) runs
  ViewStyle viewStyle = ViewStyle::Details;
  bool systemComponentsVisible = false;
  bool showInvalid = true;
  bool showOnlyInvalid = false;
  Language lang = Language::English;
  bool toolbarVisible = true;
  bool panelVisible = true;
  bool toolbarGradient = true;
  bool toolbarList = false;
  bool findNextEnabled = false;
  bool canUndoRemove = false;   // the last removal's keys are held and may be put back
  bool severalSystems = false;  // every prefix is shown at once
};

struct ActionFlags {
  bool enabled = true;
  bool checked = false;
  bool operator==(const ActionFlags&) const = default;
};

class ActionState {
 public:
  ActionFlags& operator[](ActionId id) { return flags_[static_cast<std::size_t>(id)]; }
  const ActionFlags& operator[](ActionId id) const { return flags_[static_cast<std::size_t>(id)]; }

 private:
  std::array<ActionFlags, kActionCount> flags_{};
};

ActionState ComputeActionState(const ActionInputs& in);

}  // namespace pgl
