#include "ui/main/MainTexts.h"

#include <cstring>

namespace pgl {

const std::vector<ActionInfo>& MainActions() {
  static const std::vector<ActionInfo> actions = {
      {ActionId::Refresh, "actRefresh", "F5", kImgRefresh, "Refresh list", "Odśwież listę", true,
       false},
      {ActionId::Uninstall, "actUninstall", "Ctrl+U", kImgUninstall,
       "Uninstall selected applications...", "Odinstaluj zaznaczone programy...", true, false},
      {ActionId::Remove, "actRemove", "Shift+Del", kImgRemove,
       "Remove selected applications from list...", "Usuń zaznaczone programy z listy...", true,
       false},
      {ActionId::Search, "actSearch", "Ctrl+F", kImgSearch, "Find...", "Szukaj...", true, false},
      {ActionId::FindNext, "actFindNext", "F3", -1, "Find next", "Znajdź następny", true, false},
      {ActionId::Report, "actReport", "Ctrl+S", kImgSaveReport, "Save report...",
       "Zapisz raport...", true, false},
      {ActionId::About, "actAbout", "Ctrl+F1", kImgAbout, "About Purgelet", "O programie Purgelet",
       true, false},
      {ActionId::Help, "actHelp", "F1", kImgHelp, "Online Help", "Pomoc online", true, false},
      {ActionId::ExitApp, "actExitApp", "", -1, "Exit", "Zamknij", true, false},
      {ActionId::Configure, "actConfigure", "F12", kImgConfigure, "Configuration...",
       "Konfiguracja...", true, false},
      {ActionId::ShowDetails, "actShowDetails", "Ctrl+D", kImgDetails, "Details...", "Szczegóły...",
       true, false},
      {ActionId::View, "actView", "", kImgViewStyle, "List type", "Typ listy", true, false},
      {ActionId::RegBackup, "actRegBackup", "Ctrl+R", kImgRegBackup,
       "Backup registry uninstall info...", "Utwórz kopię zapasową danych z Rejestru...", true,
       false},
      {ActionId::ViewLargeIcons, "actViewLargeIcons", "", -1, "Large icons", "Duże ikony", true,
       true},
      {ActionId::ViewSmallIcons, "actViewSmallIcons", "", -1, "Small icons", "Małe ikony", true,
       true},
      {ActionId::ViewList, "actViewList", "", -1, "List", "Lista", true, true},
      {ActionId::ViewDetails, "actViewDetails", "", -1, "Details", "Szczegóły", true, true},
      {ActionId::ShowHideBottomPanel, "actShowHideBottomPanel", "Ctrl+B", -1,
       "Show/Hide bottom panel", "Pokaż/Ukryj panel dolny", true, true},
      {ActionId::SetLangPL, "actSetLangPL", "", -1, "Polski", "Polski", true, true},
      {ActionId::SetLangEN, "actSetLangEN", "", -1, "English", "English", true, true},
      {ActionId::SelectAll, "actSelectAll", "Ctrl+A", -1, "Select all", "Zaznacz wszystko", true,
       false},
      {ActionId::InvertSelection, "actInvertSelection", "Ctrl+I", -1, "Invert selection",
       "Odwróć zaznaczenie", true, false},
      {ActionId::CopySelected, "actCopySelected", "Ctrl+C", -1,
       "Copy selected items to the Clipboard", "Kopiuj zaznaczone elementy do Schowka", true,
       false},
      {ActionId::ShowErrors, "actShowErrors", "F11", -1, "Show/Hide errors...",
       "Pokaż/Ukryj błędy...", true, false},
      {ActionId::SystemComponentsVisible, "actSystemComponentsVisible", "", -1,
       "Show system components", "Pokaż komponenty systemowe", true, true},
      {ActionId::InvalidVisible, "actInvalidVisible", "", -1, "Show invalid items",
       "Pokaż nieprawidłowe elementy", true, true},
      {ActionId::ShowOnlyInvalid, "actShowOnlyInvalid", "", -1, "Show invalid items only",
       "Pokaż tylko nieprawidłowe elementy", true, true},
      {ActionId::Esc, "actEsc", "Esc", -1, "", "", false, false},
      {ActionId::ShowHideToolbar, "actShowHideToolbar", "Ctrl+T", -1, "Show toolbar",
       "Pokaż pasek narzędziowy", true, true},
      {ActionId::Gradient, "actGradient", "", -1, "Gradient", "Gradient", false, true},
      {ActionId::ToolbarList, "actToolbarList", "", -1, "List", "Lista", true, true},
      {ActionId::UninstallQuietly, "actUninstallQuietly", "Ctrl+Shift+U", -1, "Uninstall quietly",
       "Odinstaluj po cichu", true, false},
      {ActionId::UndoRemove, "actUndoRemove", "Ctrl+Z", -1, "Undo remove", "Cofnij usunięcie", true,
       false},
      {ActionId::Restore, "actRestore", "", -1, "Restore from backup...", "Przywróć z kopii...",
       true, false},
      {ActionId::Leftovers, "actLeftovers", "Ctrl+L", -1, "Leftovers...", "Pozostałości...", true,
       false},
      {ActionId::DesktopEntries, "actDesktopEntries", "", -1, "Menu entries of deleted prefixes...",
       "Wpisy menu usuniętych prefiksów...", true, false},
  };
  return actions;
}

namespace {
struct ButtonAction {
  const char* button;
  ActionId action;
};
const ButtonAction kButtonActions[] = {
    {"btnUninstall", ActionId::Uninstall}, {"btnRemove", ActionId::Remove},
    {"btnRefresh", ActionId::Refresh},     {"btnSearch", ActionId::Search},
    {"btnDetails", ActionId::ShowDetails}, {"btnViewStyle", ActionId::View},
};
}  // namespace

const std::vector<TextPair>& ToolbarButtons() {
  static const std::vector<TextPair> buttons = {
      {"btnUninstall", "Uninstall", "Odinstaluj"}, {"btnRemove", "Remove", "Usuń"},
      {"btnRefresh", "Refresh", "Odśwież"},        {"btnSearch", "Search", "Szukaj"},
      {"btnDetails", "Details", "Szczegóły"},      {"btnViewStyle", "List type", "Typ listy"},
  };
  return buttons;
}

ActionId ToolbarButtonAction(const std::string& button) {
  for (const ButtonAction& item : kButtonActions)
    if (button == item.button) return item.action;
  return ActionId::View;
}

const ActionInfo& ActionOf(ActionId id) {
  return MainActions()[static_cast<std::size_t>(id)];
}

const std::vector<TextPair>& MainMenus() {
  static const std::vector<TextPair> menus = {
      // The menu bar's titles carry their access keys (Alt+F opens File), one per letter.
      {"mnuFile", "&File", "&Plik"},
      {"mnuAction", "&Action", "&Akcja"},
      {"mnuSearch", "&Search", "&Szukaj"},
      {"mnuList", "&List", "&Lista"},
      {"mnuView", "&View", "&Widok"},
      {"mnuPrefix", "&Prefix", "P&refiks"},
      {"mnuLanguage", "Lan&guage", "&Język"},
      {"mnuHelp", "&Help", "P&omoc"},
      {"mnuViewStyle", "List type", "Typ listy"},
      {"popViewStyle", "List type", "Typ listy"},
  };
  return menus;
}

const std::vector<TextPair>& PanelCaptions() {
  static const std::vector<TextPair> captions = {
      {"lblDetails", "Details...", "Szczegóły..."},
      {"lblDetName", "Name : ", "Nazwa : "},
      {"lblDetVersion", "Version : ", "Wersja : "},
      {"lblDetPublisher", "Publisher : ", "Producent : "},
      {"lblDetExeFile", "EXE File : ", "Plik EXE : "},
      {"lblDetUrlInfo", "URL Info : ", "URL Info : "},
      {"lblDetUrlUpdate", "URL Update : ", "URL Update : "},
      {"lblDetHelpLink", "Help Link : ", "Pomoc Online : "},
      {"lblDetUninstallKey", "Uninstall Key : ", "Uninstall Key : "},
      {"lblDetARPCacheKey", "ARP Cache Key : ", "ARP Cache Key : "},
      {"lblDetUninstallCommand", "Uninstall command : ", "Polecenie deinstalacji : "},
      {"lblDetQuietUninstallCommand", "Quiet uninstall command : ", "Pol. cichej deinstalacji : "},
  };
  return captions;
}

std::string CopyHint(bool polish) {
  return polish ? "Prawy klawisz = Kopiuj do Schowka" : "Right click = Copy to Clipboard";
}

std::string ExeFileHint(bool polish) {
  return CopyHint(polish) + "\r\n" +
         (polish ? "Ctrl + Lewy klawisz = Eksploruj katalog"
                 : "Ctrl + Left click = Explore directory");
}

std::string StatusText(int panel, int count, bool polish) {
  static const TextPair labels[] = {
      {"Visible", "Visible : ", "Widoczne : "},
      {"Selected", "Selected : ", "Zaznaczone : "},
      {"All", "All : ", "Wszystkie : "},
      {"Invalid", "Invalid : ", "Nieprawidłowe : "},
      {"System", "System components : ", "Komponenty systemowe : "},
  };
  if (panel < 0 || panel >= 5) return "";
  return labels[panel].Text(polish) + std::to_string(count);
}

int StatusPanelWidth(int panel) {
  if (panel == 4) return 160;
  if (panel == 5) return 50;
  return 110;
}

std::string CloseQuestion(bool polish) {
  return polish ? "Zakończyć program?" : "Close application?";
}

std::string RegistryReadOnlyNote(bool polish) {
  return polish ? "Zmiany w rejestrze tego prefiksu są teraz niemożliwe: "
                : "The registry of this prefix cannot be changed now: ";
}

std::string ErrorLogFailedText(bool polish) {
  return polish ? "Nie można zapisać logu błędów: " : "The error log could not be written: ";
}

std::string NotRemovedTitle(bool polish) {
  return polish ? "Nie usunięto z listy:" : "Not removed:";
}

std::string UninstallProgress(bool polish) {
  return polish ? "Deinstalacja (%1 z %2): %3" : "Uninstalling (%1 of %2): %3";
}

std::string WaitingForWine(bool polish) {
  return polish ? "Czekam, aż Wine zapisze rejestr..." : "Waiting for Wine to save the registry...";
}

std::string StopWaitingText(bool polish) {
  return polish ? "Przestań czekać" : "Stop waiting";
}

std::string AllPrefixesText(bool polish) {
  return polish ? "Wszystkie prefiksy" : "All prefixes";
}

std::string NoPrefixReadText(bool polish) {
  return polish ? "Nie udało się odczytać żadnego prefiksu." : "No prefix could be read.";
}

std::string PrefixCountText(int count, bool polish) {
  if (!polish) return std::to_string(count) + (count == 1 ? " Wine prefix" : " Wine prefixes");
  // Polish plurals: 1 prefiks, 2-4 prefiksy (not 12-14), otherwise prefiksów.
  const int tens = count % 100, ones = count % 10;
  const char* noun = count == 1                                             ? " prefiks Wine"
                     : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? " prefiksy Wine"
                                                                            : " prefiksów Wine";
  return std::to_string(count) + noun;
}

std::string OtherFolderText(bool polish) {
  return polish ? "Inny folder..." : "Other folder...";
}

std::string PrefixChooserHint(bool polish) {
  return polish ? "Prefiks Wine, którego programy są na liście"
                : "The Wine prefix whose programs are listed";
}

}  // namespace pgl
