#include "ui/main/MainTexts.h"

#include <cstring>

namespace pgl {

const std::vector<ActionInfo>& MainActions() {
  static const std::vector<ActionInfo> actions = {
      {ActionId::Refresh,
       "actRefresh",
       "F5",
       kImgRefresh,
       {"Refresh list", "Odśwież listę"},
       true,
       false},
      {ActionId::Uninstall,
       "actUninstall",
       "Ctrl+U",
       kImgUninstall,
       {"Uninstall selected applications...", "Odinstaluj zaznaczone programy..."},
       true,
       false},
      {ActionId::Remove,
       "actRemove",
       "Shift+Del",
       kImgRemove,
       {"Remove selected applications from list...", "Usuń zaznaczone programy z listy..."},
       true,
       false},
      {ActionId::Search, "actSearch", "Ctrl+F", kImgSearch, {"Find...", "Szukaj..."}, true, false},
      {ActionId::FindNext, "actFindNext", "F3", -1, {"Find next", "Znajdź następny"}, true, false},
      {ActionId::Report,
       "actReport",
       "Ctrl+S",
       kImgSaveReport,
       {"Save report...", "Zapisz raport..."},
       true,
       false},
      {ActionId::About,
       "actAbout",
       "Ctrl+F1",
       kImgAbout,
       {"About Purgelet", "O programie Purgelet"},
       true,
       false},
      {ActionId::Help, "actHelp", "F1", kImgHelp, {"Online Help", "Pomoc online"}, true, false},
      {ActionId::ExitApp, "actExitApp", "", -1, {"Exit", "Zamknij"}, true, false},
      {ActionId::Configure,
       "actConfigure",
       "F12",
       kImgConfigure,
       {"Configuration...", "Konfiguracja..."},
       true,
       false},
      {ActionId::ShowDetails,
       "actShowDetails",
       "Ctrl+D",
       kImgDetails,
       {"Details...", "Szczegóły..."},
       true,
       false},
      {ActionId::View, "actView", "", kImgViewStyle, {"List type", "Typ listy"}, true, false},
      {ActionId::RegBackup,
       "actRegBackup",
       "Ctrl+R",
       kImgRegBackup,
       {"Backup registry uninstall info...", "Utwórz kopię zapasową danych z Rejestru..."},
       true,
       false},
      {ActionId::ViewLargeIcons,
       "actViewLargeIcons",
       "",
       -1,
       {"Large icons", "Duże ikony"},
       true,
       true},
      {ActionId::ViewSmallIcons,
       "actViewSmallIcons",
       "",
       -1,
       {"Small icons", "Małe ikony"},
       true,
       true},
      {ActionId::ViewList, "actViewList", "", -1, {"List", "Lista"}, true, true},
      {ActionId::ViewDetails, "actViewDetails", "", -1, {"Details", "Szczegóły"}, true, true},
      {ActionId::ShowHideBottomPanel,
       "actShowHideBottomPanel",
       "Ctrl+B",
       -1,
       {"Show/Hide bottom panel", "Pokaż/Ukryj panel dolny"},
       true,
       true},
      {ActionId::SetLangPL, "actSetLangPL", "", -1, {"Polski", "Polski"}, true, true},
      {ActionId::SetLangEN, "actSetLangEN", "", -1, {"English", "English"}, true, true},
      {ActionId::SelectAll,
       "actSelectAll",
       "Ctrl+A",
       -1,
       {"Select all", "Zaznacz wszystko"},
       true,
       false},
      {ActionId::InvertSelection,
       "actInvertSelection",
       "Ctrl+I",
       -1,
       {"Invert selection", "Odwróć zaznaczenie"},
       true,
       false},
      {ActionId::CopySelected,
       "actCopySelected",
       "Ctrl+C",
       -1,
       {"Copy selected items to the Clipboard", "Kopiuj zaznaczone elementy do Schowka"},
       true,
       false},
      {ActionId::ShowErrors,
       "actShowErrors",
       "F11",
       -1,
       {"Show/Hide errors...", "Pokaż/Ukryj błędy..."},
       true,
       false},
      {ActionId::SystemComponentsVisible,
       "actSystemComponentsVisible",
       "",
       -1,
       {"Show system components", "Pokaż komponenty systemowe"},
       true,
       true},
      {ActionId::InvalidVisible,
       "actInvalidVisible",
       "",
       -1,
       {"Show invalid items", "Pokaż nieprawidłowe elementy"},
       true,
       true},
      {ActionId::ShowOnlyInvalid,
       "actShowOnlyInvalid",
       "",
       -1,
       {"Show invalid items only", "Pokaż tylko nieprawidłowe elementy"},
       true,
       true},
      {ActionId::Esc, "actEsc", "Esc", -1, {"", ""}, false, false},
      {ActionId::ShowHideToolbar,
       "actShowHideToolbar",
       "Ctrl+T",
       -1,
       {"Show toolbar", "Pokaż pasek narzędziowy"},
       true,
       true},
      {ActionId::Gradient, "actGradient", "", -1, {"Gradient", "Gradient"}, false, true},
      {ActionId::ToolbarList, "actToolbarList", "", -1, {"List", "Lista"}, true, true},
      {ActionId::UninstallQuietly,
       "actUninstallQuietly",
       "Ctrl+Shift+U",
       -1,
       {"Uninstall quietly", "Odinstaluj po cichu"},
       true,
       false},
      {ActionId::UndoRemove,
       "actUndoRemove",
       "Ctrl+Z",
       -1,
       {"Undo remove", "Cofnij usunięcie"},
       true,
       false},
      {ActionId::Restore,
       "actRestore",
       "",
       -1,
       {"Restore from backup...", "Przywróć z kopii..."},
       true,
       false},
      {ActionId::Leftovers,
       "actLeftovers",
       "Ctrl+L",
       -1,
       {"Leftovers...", "Pozostałości..."},
       true,
       false},
      {ActionId::DesktopEntries,
       "actDesktopEntries",
       "",
       -1,
       {"Menu entries of deleted prefixes...", "Wpisy menu usuniętych prefiksów..."},
       true,
       false},
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
      {"btnUninstall", {"Uninstall", "Odinstaluj"}}, {"btnRemove", {"Remove", "Usuń"}},
      {"btnRefresh", {"Refresh", "Odśwież"}},        {"btnSearch", {"Search", "Szukaj"}},
      {"btnDetails", {"Details", "Szczegóły"}},      {"btnViewStyle", {"List type", "Typ listy"}},
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
      {"mnuFile", {"&File", "&Plik"}},
      {"mnuAction", {"&Action", "&Akcja"}},
      {"mnuSearch", {"&Search", "&Szukaj"}},
      {"mnuList", {"&List", "&Lista"}},
      {"mnuView", {"&View", "&Widok"}},
      {"mnuPrefix", {"&Prefix", "P&refiks"}},
      {"mnuLanguage", {"Lan&guage", "&Język"}},
      {"mnuHelp", {"&Help", "P&omoc"}},
      {"mnuViewStyle", {"List type", "Typ listy"}},
      {"popViewStyle", {"List type", "Typ listy"}},
  };
  return menus;
}

const std::vector<TextPair>& PanelCaptions() {
  static const std::vector<TextPair> captions = {
      {"lblDetails", {"Details...", "Szczegóły..."}},
      {"lblDetName", {"Name : ", "Nazwa : "}},
      {"lblDetVersion", {"Version : ", "Wersja : "}},
      {"lblDetPublisher", {"Publisher : ", "Producent : "}},
      {"lblDetExeFile", {"EXE File : ", "Plik EXE : "}},
      {"lblDetUrlInfo", {"URL Info : ", "URL Info : "}},
      {"lblDetUrlUpdate", {"URL Update : ", "URL Update : "}},
      {"lblDetHelpLink", {"Help Link : ", "Pomoc Online : "}},
      {"lblDetUninstallKey", {"Uninstall Key : ", "Uninstall Key : "}},
      {"lblDetARPCacheKey", {"ARP Cache Key : ", "ARP Cache Key : "}},
      {"lblDetUninstallCommand", {"Uninstall command : ", "Polecenie deinstalacji : "}},
      {"lblDetQuietUninstallCommand",
       {"Quiet uninstall command : ", "Pol. cichej deinstalacji : "}},
  };
  return captions;
}

namespace {

constexpr Message<MainText> kMessages[] = {
    {MainText::CloseQuestion, {"Close application?", "Zakończyć program?"}},
    {MainText::RegistryReadOnly,
     {"The registry of this prefix cannot be changed now: ",
      "Zmiany w rejestrze tego prefiksu są teraz niemożliwe: "}},
    {MainText::ErrorLogFailed,
     {"The error log could not be written: ", "Nie można zapisać logu błędów: "}},
    {MainText::NotRemovedTitle, {"Not removed:", "Nie usunięto z listy:"}},
    {MainText::UninstallProgress, {"Uninstalling (%1 of %2): %3", "Deinstalacja (%1 z %2): %3"}},
    {MainText::WaitingForWine,
     {"Waiting for Wine to save the registry...", "Czekam, aż Wine zapisze rejestr..."}},
    {MainText::StopWaiting, {"Stop waiting", "Przestań czekać"}},
    {MainText::OtherFolder, {"Other folder...", "Inny folder..."}},
    {MainText::AllPrefixes, {"All prefixes", "Wszystkie prefiksy"}},
    {MainText::NoPrefixRead,
     {"No prefix could be read.", "Nie udało się odczytać żadnego prefiksu."}},
    {MainText::PrefixChooserHint,
     {"The Wine prefix whose programs are listed", "Prefiks Wine, którego programy są na liście"}},
    {MainText::CopyHint, {"Right click = Copy to Clipboard", "Prawy klawisz = Kopiuj do Schowka"}},
    {MainText::ExploreHint,
     {"Ctrl + Left click = Explore directory", "Ctrl + Lewy klawisz = Eksploruj katalog"}},
    {MainText::RecordNotWritten,
     {"The record for finding leftovers could not be written: ",
      "Nie zapisano zapisu do szukania pozostałości: "}},
    {MainText::LeftOutOfBackup,
     {"Left out of the backup (names no script can hold):",
      "Pominięto w kopii (nazwy nie do zapisania):"}},
    {MainText::NothingRestored, {"Nothing was restored: ", "Nic nie przywrócono: "}},
    {MainText::NoGonePrefixEntries,
     {"No menu entries of deleted prefixes were found.",
      "Nie znaleziono wpisów menu usuniętych prefiksów."}},
    {MainText::DeletedPrefixes, {"Deleted prefixes: ", "Usunięte prefiksy: "}},
    {MainText::NotRemovedItems, {"Not removed:", "Nie usunięto:"}},
    {MainText::NoLeftovers, {"No leftovers were found.", "Nie znaleziono pozostałości."}},
    {MainText::MovedToTrash,
     {"Items moved to the trash: %1", "Elementy przeniesione do kosza: %1"}},
    {MainText::RegistryItemsDeleted,
     {"Registry items deleted: %1, saved first in %2",
      "Usunięte elementy rejestru: %1, wcześniej zapisane w %2"}},
    {MainText::BackupSaved, {"Backup saved to %1", "Kopię zapisano w %1"}},
    {MainText::ReportSaved, {"Report saved to %1", "Raport zapisano w %1"}},
    {MainText::PutBack, {"Programs put back: %1", "Przywrócone programy: %1"}},
    {MainText::Restored, {"Programs restored: %1, from %2", "Przywrócone programy: %1, z %2"}},
    {MainText::ProgramList, {"Installed programs", "Zainstalowane programy"}},
    {MainText::ProgramIcon, {"Program icon", "Ikona programu"}},
    {MainText::NoHelpPage,
     {"The help page is not installed (looked for %1).",
      "Strona pomocy nie jest zainstalowana (szukano %1)."}},
    {MainText::PrefixesWindow, {"Prefixes...", "Prefiksy..."}},
    {MainText::PrefixChooserName, {"Prefix shown", "Pokazywany prefiks"}},
    {MainText::CloseNotice, {"Close the notice", "Zamknij powiadomienie"}},
    {MainText::MoreToolbarButtons, {"More toolbar buttons", "Więcej przycisków paska narzędzi"}},
    {MainText::Removed, {"Entries removed from the registry: %1", "Wpisy usunięte z rejestru: %1"}},
    {MainText::Undo, {"Undo", "Cofnij"}},
    {MainText::FilterHint,
     {"Filter by name, publisher or key (Ctrl+K)",
      "Filtruj po nazwie, producencie lub kluczu (Ctrl+K)"}},
    {MainText::FilterName, {"Filter the list", "Filtruj listę"}},
    {MainText::HelpNotOpened,
     {"No program is set to open web pages here (install xdg-utils). The help page is %1",
      "Brak programu do otwierania stron (zainstaluj xdg-utils). Strona pomocy: %1"}},
};
static_assert(IsMessageTable(kMessages));

}  // namespace

std::string Text(MainText id, Language lang) {
  return MessageIn(kMessages, id, lang);
}

std::string CopyHint(Language lang) {
  return Text(MainText::CopyHint, lang);
}

std::string ExeFileHint(Language lang) {
  return CopyHint(lang) + "\r\n" + Text(MainText::ExploreHint, lang);
}

std::string StatusText(int panel, int count, Language lang) {
  static const TextPair labels[] = {
      {"Visible", {"Visible : ", "Widoczne : "}},
      {"Selected", {"Selected : ", "Zaznaczone : "}},
      {"All", {"All : ", "Wszystkie : "}},
      {"Invalid", {"Invalid : ", "Nieprawidłowe : "}},
      {"System", {"System components : ", "Komponenty systemowe : "}},
  };
  if (panel < 0 || panel >= 5) return "";
  return labels[panel].Text(lang) + std::to_string(count);
}

int StatusPanelWidth(int panel) {
  if (panel == 4) return 160;
  if (panel == 5) return 50;
  return 110;
}

std::string PrefixCountText(int count, Language lang) {
  static constexpr Translations kNouns[] = {
      {" Wine prefix", " prefiks Wine"},      // one
      {" Wine prefixes", " prefiksy Wine"},   // few
      {" Wine prefixes", " prefiksów Wine"},  // many
  };
  return std::to_string(count) + kNouns[static_cast<int>(PluralOf(count, lang))].In(lang);
}

}  // namespace pgl
