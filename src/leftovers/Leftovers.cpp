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

std::string ConfidenceText(Confidence c, bool polish) {
  if (!polish) return ConfidenceName(c);
  return c == Confidence::Sure ? "pewne" : c == Confidence::Likely ? "prawdopodobne" : "niepewne";
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

std::string KindText(LeftoverKind kind, bool polish) {
  switch (kind) {
    case LeftoverKind::Folder:
      return "folder";  // the same word in both languages
    case LeftoverKind::File:
      return polish ? "plik" : "file";
    case LeftoverKind::RegistryKey:
      return polish ? "klucz rejestru" : "registry key";
    case LeftoverKind::RegistryValue:
      return polish ? "wartość rejestru" : "registry value";
    case LeftoverKind::DesktopFile:
      return polish ? "wpis pulpitu" : "desktop entry";
    case LeftoverKind::Icon:
      return polish ? "ikona" : "icon";
    case LeftoverKind::MenuFile:
      return polish ? "plik menu" : "menu file";
  }
  return {};
}

}  // namespace pgl
