#include "leftovers/Leftovers.h"

#include <algorithm>

#include "leftovers/LeftoverPaths.h"
#include "leftovers/PlaceGuard.h"
#include "util/CodePage.h"

namespace pgl {

using namespace leftovers;

LeftoverScope MakeLeftoverScope(ManagedSystem& system, const TUninstallCollection& collection) {
  LeftoverScope scope;
  // Leftovers are looked for in keys no list reads (App Paths, Run, file types, ...).
  system.registry->ReadEverything();
  scope.registry = system.registry.get();
  scope.platform = system.platform.get();
  scope.prefixDir = system.prefixDir;
  scope.xdg = UserXdgFolders();
  for (int i = 0; i < collection.Count(); ++i)
    scope.listed.push_back(collection.GetItem(i).UninstallInfo);
  scope.codePage = UserAnsiCodePage();
  return scope;
}

std::string Leftover::Text() const {
  if (!IsRegistry()) return path;
  std::string text = std::string(root == kHkeyCurrentUser ? "HKCU\\" : "HKLM\\") + key;
  if (kind == LeftoverKind::RegistryValue) text += ": " + (value.empty() ? "(default)" : value);
  return text;
}

std::string DisplayText(const LeftoverScope& scope, const Leftover& item) {
  if (item.IsRegistry()) return item.Text();
  const std::string drive = HostPlace(scope.prefixDir + "/drive_c");
  if (UnixInside(item.path, drive)) {
    std::string rest = item.path.substr(drive.size());
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return "C:" + (rest.empty() ? "\\" : rest);
  }
  const std::string home = scope.xdg.home.empty() ? "" : HostPlace(scope.xdg.home);
  if (!home.empty() && UnixInside(item.path, home)) return "~" + item.path.substr(home.size());
  return item.path;
}

std::string ConfidenceName(Confidence c) {
  return c == Confidence::Sure ? "sure" : c == Confidence::Likely ? "likely" : "uncertain";
}

std::string KindName(LeftoverKind kind) {
  switch (kind) {
    case LeftoverKind::Folder:
      return "folder";
    case LeftoverKind::File:
      return "file";
    case LeftoverKind::RegistryKey:
      return "registry_key";
    case LeftoverKind::RegistryValue:
      return "registry_value";
    case LeftoverKind::DesktopFile:
      return "desktop_file";
    case LeftoverKind::Icon:
      return "icon";
    case LeftoverKind::MenuFile:
      return "menu_file";
  }
  return {};
}

namespace {

constexpr Message<LeftoverWhy> kWhy[] = {
    {LeftoverWhy::InstallFolder, {"its install folder", "jego folder instalacji"}},
    {LeftoverWhy::HeldOnlyInstallFolder,
     {"it held only its install folder", "zawierał tylko jego folder instalacji"}},
    {LeftoverWhy::Shortcut, {"a shortcut to it", "skrót do niego"}},
    {LeftoverWhy::StartMenuFolder, {"its Start-menu folder", "jego folder w menu Start"}},
    {LeftoverWhy::WineMenuEntry,
     {"Wine's menu entry or desktop shortcut for it",
      "wpis menu lub skrót na pulpicie zrobiony dla niego przez Wine"}},
    {LeftoverWhy::SettingsLikeFolder,
     {"settings named like its install folder", "ustawienia nazwane jak jego folder instalacji"}},
    {LeftoverWhy::SettingsLikePair,
     {"settings named after its publisher and product",
      "ustawienia nazwane jak jego wydawca i produkt"}},
    {LeftoverWhy::HeldOnlySettings,
     {"it held only its settings", "zawierał tylko jego ustawienia"}},
    {LeftoverWhy::NamedAfterPublisher,
     {"named after its publisher, holding nothing else",
      "nazwany jak jego wydawca, nie zawiera nic innego"}},
    {LeftoverWhy::NamedAfterProduct, {"named after the product", "nazwany jak produkt"}},
    {LeftoverWhy::AppPaths, {"its App Paths entry", "jego wpis App Paths"}},
    {LeftoverWhy::StartedWithWindows,
     {"started with Windows (%1 Run)", "uruchamiany z systemem (%1 Run)"}},
    {LeftoverWhy::FileTypeItOpens, {"a file type it opens", "typ plików, które otwiera"}},
    {LeftoverWhy::SharedTypeCommand,
     {"its command for a file type others use too",
      "jego polecenie dla typu plików używanego też przez innych"}},
    {LeftoverWhy::ExtensionGiven,
     {"a file extension given to it", "rozszerzenie plików przypisane do niego"}},
    {LeftoverWhy::SharedFile, {"a shared file of its folder", "plik współdzielony z jego folderu"}},
    {LeftoverWhy::AssociationType,
     {"the file type of its association", "typ plików jego skojarzenia"}},
    {LeftoverWhy::MenuFile, {"its menu file", "jego plik menu"}},
    {LeftoverWhy::MenuFolder, {"the menu folder of its entries", "folder menu z jego wpisami"}},
    {LeftoverWhy::MenuIcon, {"the icon of its menu entry", "ikona jego wpisu menu"}},
    {LeftoverWhy::GonePrefixEntry,
     {"Wine's menu entry of a prefix that is gone",
      "wpis menu Wine z prefiksu, którego już nie ma"}},
};
static_assert(IsMessageTable(kWhy));

enum class Msg {
  Sure,
  Likely,
  Uncertain,
  File,
  RegistryKey,
  RegistryValue,
  DesktopEntry,
  Icon,
  MenuFile,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::Sure, {"sure", "pewne"}},
    {Msg::Likely, {"likely", "prawdopodobne"}},
    {Msg::Uncertain, {"uncertain", "niepewne"}},
    {Msg::File, {"file", "plik"}},
    {Msg::RegistryKey, {"registry key", "klucz rejestru"}},
    {Msg::RegistryValue, {"registry value", "wartość rejestru"}},
    {Msg::DesktopEntry, {"desktop entry", "wpis pulpitu"}},
    {Msg::Icon, {"icon", "ikona"}},
    {Msg::MenuFile, {"menu file", "plik menu"}},
};
static_assert(IsMessageTable(kMessages));

std::string Text(Msg id, Language lang) {
  return MessageIn(kMessages, id, lang);
}

}  // namespace

LocalText WhyText(LeftoverWhy why, std::initializer_list<LocalText> args) {
  return FillEach(kWhy[static_cast<std::size_t>(why)].text, args);
}

std::string ConfidenceText(Confidence c, Language lang) {
  return Text(c == Confidence::Sure     ? Msg::Sure
              : c == Confidence::Likely ? Msg::Likely
                                        : Msg::Uncertain,
              lang);
}

std::string KindText(LeftoverKind kind, Language lang) {
  switch (kind) {
    case LeftoverKind::Folder:
      return "folder";  // the same word in both languages
    case LeftoverKind::File:
      return Text(Msg::File, lang);
    case LeftoverKind::RegistryKey:
      return Text(Msg::RegistryKey, lang);
    case LeftoverKind::RegistryValue:
      return Text(Msg::RegistryValue, lang);
    case LeftoverKind::DesktopFile:
      return Text(Msg::DesktopEntry, lang);
    case LeftoverKind::Icon:
      return Text(Msg::Icon, lang);
    case LeftoverKind::MenuFile:
      return Text(Msg::MenuFile, lang);
  }
  return {};
}

}  // namespace pgl
