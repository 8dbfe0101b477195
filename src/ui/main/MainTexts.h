// Every text of the main window in English and Polish, and the facts the window builds its
// actions from (shortcut, image). Plain data without Qt, so that each window's SetLang only
// walks a table.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "lang/Language.h"

namespace pgl {

struct TextPair {
  const char* name;  // the object that shows the text
  Translations text;
  const char* Text(Language lang) const { return text.In(lang); }
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
  Translations text;
  bool hint;       // the caption is the hint too
  bool checkable;  // shows a check mark
  const char* Text(Language lang) const { return text.In(lang); }
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
std::string CopyHint(Language lang);
std::string ExeFileHint(Language lang);
inline constexpr const char* kSaveIconText = "Save icon...";

// The status bar's first five panels: the label followed by the count ("Visible : 57").
inline constexpr int kStatusPanelCount = 6;
std::string StatusText(int panel, int count, Language lang);
// Panel widths in pixels (the sixth is empty).
int StatusPanelWidth(int panel);

// The window's own messages, by id.
enum class MainText {
  CloseQuestion,        // Esc asks before closing
  RegistryReadOnly,     // start-up: Wine runs in the prefix; the reason follows
  ErrorLogFailed,       // an append to the error log failed; the reason follows
  NotRemovedTitle,      // the remove command's failures
  UninstallProgress,    // "Uninstalling (%1 of %2): %3"
  WaitingForWine,       // after a batch
  StopWaiting,          // the progress dialog's button
  OtherFolder,          // the prefix chooser's last item
  AllPrefixes,          // its first, every prefix in one list
  NoPrefixRead,         // none of them could be read
  PrefixChooserHint,    // the chooser's tooltip
  CopyHint,             // the panel's labels: right click copies
  ExploreHint,          // the program file's label: Ctrl+click opens its folder
  RecordNotWritten,     // the record for finding leftovers; the reason follows
  LeftOutOfBackup,      // keys a backup could not hold; their names follow
  NothingRestored,      // a restore failed; the reason follows
  NoGonePrefixEntries,  // nothing of deleted prefixes was found
  DeletedPrefixes,      // the leftovers window's name for them; the prefixes follow
  NotRemovedItems,      // leftovers that stayed; each follows with its reason
  NoLeftovers,
  MovedToTrash,          // a notice: how many items went to the trash
  RegistryItemsDeleted,  // a notice: how many registry items went, and the file that keeps them
  BackupSaved,           // a notice: the backup's file
  ReportSaved,           // a notice: the report's file
  PutBack,               // a notice: how many programs an undo put back
  Restored,              // a notice: how many programs a restore wrote, from which file
  ProgramList,           // what a screen reader calls the list
  ProgramIcon,           // and the panel's icon
  NoHelpPage,            // F1 found no help page; where it looked follows
  PrefixesWindow,        // the Prefix menu's item that opens the Prefixes window
  PrefixChooserName,     // what a screen reader calls the toolbar's prefix chooser
  CloseNotice,           // and the notice bar's close button
  MoreToolbarButtons,    // and the toolbar's button for the buttons that do not fit
  Removed,               // a notice: how many programs the remove command took away
  Undo,                  // the notice bar's button that undoes what the notice tells of
  FilterHint,            // the filter box over the list, while empty
  FilterName,            // what a screen reader calls it
  HelpNotOpened,         // F1: no program opens the help page; where it is follows
  Count
};
std::string Text(MainText id, Language lang);

std::string PrefixCountText(int count, Language lang);  // "3 Wine prefixes"

}  // namespace pgl
