// Every text of the main window in English and Polish, and the facts the window builds its
// actions from (shortcut, image). Plain data without Qt, so that each window's SetLang only
// walks a table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pgl {

struct TextPair {
  const char* name;  // the object that shows the text
  const char* english;
  const char* polish;
  const char* Text(bool polish) const { return polish ? this->polish : english; }
};

// The main window's actions, found by these ids in the program (a misspelt id does not
// compile); the object names are for tests and style sheets.
enum class ActionId {
  Refresh,
  Uninstall,
  Remove,
  Search,
  FindNext,
  Report,
  About,
  Help,
  ExitApp,
  Configure,
  ShowDetails,
  View,
  RegBackup,
  ViewLargeIcons,
  ViewSmallIcons,
  ViewList,
  ViewDetails,
  ShowHideBottomPanel,
  SetLangPL,
  SetLangEN,
  SelectAll,
  InvertSelection,
  CopySelected,
  ShowErrors,
  SystemComponentsVisible,
  InvalidVisible,
  ShowOnlyInvalid,
  Esc,
  ShowHideToolbar,
  Gradient,
  ToolbarList,
  UninstallQuietly,
  UndoRemove,
  Restore,
  Leftovers,
  DesktopEntries,
};
inline constexpr std::size_t kActionCount = static_cast<std::size_t>(ActionId::DesktopEntries) + 1;

struct ActionInfo {
  ActionId id;
  const char* name;
  const char* shortcut;  // as Qt reads it; empty for none
  int image;             // index among the command images; -1 for none
  const char* english;
  const char* polish;
  bool hint;       // the caption is the hint too
  bool checkable;  // shows a check mark
  const char* Text(bool polish) const { return polish ? this->polish : english; }
};

// The command images, by index.
enum CommandImage {
  kImgSaveReport = 0,
  kImgUninstall,
  kImgRemove,
  kImgSearch,
  kImgRefresh,
  kImgViewStyle,
  kImgConfigure,
  kImgDetails,
  kImgAbout,
  kImgHelp,
  kImgRegBackup,
  kCommandImageCount
};

// Every action, in the order of ActionId.
const std::vector<ActionInfo>& MainActions();
const ActionInfo& ActionOf(ActionId id);
// Toolbar buttons: the caption; the action a button runs and whose hint and state it shows is
// ToolbarButtonAction's.
const std::vector<TextPair>& ToolbarButtons();
ActionId ToolbarButtonAction(const std::string& button);
const std::vector<TextPair>& MainMenus();
// The information panel's caption labels and the "Details..." link.
const std::vector<TextPair>& PanelCaptions();

// The hints of the panel's labels: the copy line alone, or for the program file the copy line
// and the explore line on two lines.
std::string CopyHint(bool polish);
std::string ExeFileHint(bool polish);
inline constexpr const char* kSaveIconText = "Save icon...";

// The status bar's first five panels: the label followed by the count ("Visible : 57").
inline constexpr int kStatusPanelCount = 6;
std::string StatusText(int panel, int count, bool polish);
// Panel widths in pixels (the sixth is empty).
int StatusPanelWidth(int panel);

// Texts the window computes itself.
std::string CloseQuestion(bool polish);               // Esc asks before closing
std::string RegistryReadOnlyNote(bool polish);        // start-up: Wine runs in the prefix
std::string ErrorLogFailedText(bool polish);          // an append to the error log failed
std::string NotRemovedTitle(bool polish);             // the remove command's failures
std::string UninstallProgress(bool polish);           // "Uninstalling (%1 of %2): %3"
std::string WaitingForWine(bool polish);              // after a batch
std::string StopWaitingText(bool polish);             // the progress dialog's button
std::string OtherFolderText(bool polish);             // the prefix chooser's last item
std::string AllPrefixesText(bool polish);             // its first, every prefix in one list
std::string NoPrefixReadText(bool polish);            // none of them could be read
std::string PrefixCountText(int count, bool polish);  // "3 Wine prefixes"
std::string PrefixChooserHint(bool polish);

}  // namespace pgl
