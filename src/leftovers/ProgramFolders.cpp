#include "leftovers/ProgramFolders.h"

#include <algorithm>
#include <array>

#include "inventory/CommandAnalysis.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/LeftoverPaths.h"
#include "registry/QV_Registry.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace pgl::leftovers {

namespace {

const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Names that many programs share: never taken as a program's own.
constexpr std::array<std::string_view, 24> kGenericNames = {
    "update",       "updater",       "setup",    "install", "installer", "uninstall",
    "common files", "microsoft",     "windows",  "wine",    "temp",      "tmp",
    "programs",     "program files", "users",    "public",  "data",      "cache",
    "logs",         "config",        "settings", "classes", "policies",  "packages"};

}  // namespace

bool Generic(const std::string& name) {
  const std::string f = Fold(name);
  if (Utf8Length(f) < 3) return true;
  return std::find(kGenericNames.begin(), kGenericNames.end(), f) != kGenericNames.end();
}

std::string ValueText(const RegKey* key, std::u16string_view name) {
  if (!key) return {};
  const RegValue* v = key->FindValue(name);
  if (!v || (v->type != kRegSz && v->type != kRegExpandSz)) return {};
  return Utf16ToUtf8(v->Text());
}

std::string ShellFolder(const LeftoverScope& scope, RootKey root, std::u16string_view name) {
  return WinNorm(ValueText(FindRegKey(scope.registry->Hive(root), kShellFolders), name));
}

bool IsSystemFolder(const LeftoverScope& scope, const PlaceGuard& guard, const std::string& path) {
  const std::string lexical = WinLexical(path);
  if (lexical.size() <= 3) return true;
  const auto local = scope.platform->LocalPath(lexical);
  return !local || guard.Judge(HostPlace(*local), LeftoverKind::Folder);
}

bool IsWindowsOwnByName(const std::string& path) {
  const std::string p = Fold(WinLexical(path));
  if (p.size() <= 3 || WinInside(p, "c:\\windows")) return true;
  for (const char* root :
       {"c:\\program files", "c:\\program files (x86)", "c:\\users", "c:\\programdata",
        "c:\\program files\\common files", "c:\\program files (x86)\\common files"})
    if (p == root) return true;
  // C:\users\NAME and its folders down to AppData's three.
  if (WinInside(p, "c:\\users")) {
    const auto depth = static_cast<std::size_t>(std::count(p.begin(), p.end(), '\\'));
    return depth <= 3 || (depth == 4 && p.find("\\appdata\\") != std::string::npos);
  }
  return false;
}

std::string Expand(const LeftoverScope& scope, std::string text) {
  text = scope.platform->ExpandEnvironmentStrings(text);
  while (!text.empty() && (text.front() == '"' || text.front() == ' ')) text.erase(0, 1);
  return text;
}

std::string InstallFolderOf(const LeftoverScope& scope, const PlaceGuard* guard,
                            const TUninstallInfo& entry) {
  std::vector<std::string> candidates;
  if (!entry.InstallLocation.empty()) {
    std::string location = Expand(scope, entry.InstallLocation);
    while (!location.empty() && location.back() == '"') location.pop_back();
    candidates.push_back(location);
  }
  if (!entry.UninstallString.empty())
    candidates.push_back(WinParent(ExtractExeFromCommand(*scope.platform, entry.UninstallString)));
  if (!entry.DisplayIcon.empty()) {
    std::string icon = Expand(scope, entry.DisplayIcon);
    if (const auto comma = icon.rfind(','); comma != std::string::npos) icon.resize(comma);
    while (!icon.empty() && icon.back() == '"') icon.pop_back();
    candidates.push_back(WinParent(icon));
  }
  candidates.push_back(WinParent(entry.ExeFile));  // the usage record's program file
  for (std::string folder : candidates) {
    folder = WinLexical(folder);
    if (folder.size() <= 3 || folder[1] != ':') continue;
    if (guard ? IsSystemFolder(scope, *guard, folder)
              : !scope.platform->LocalPath(folder) || IsWindowsOwnByName(folder))
      continue;
    return folder;
  }
  return {};
}

std::vector<std::string> OthersFolders(const LeftoverScope& scope, const std::string& entryKey) {
  std::vector<std::string> folders;
  for (const TUninstallInfo& other : scope.listed)
    if (!AsciiEqualNoCase(RegistryKeyOf(other), entryKey))
      if (std::string f = InstallFolderOf(scope, nullptr, other); !f.empty()) folders.push_back(f);
  return folders;
}

bool PointsInto(const LeftoverScope& scope, const std::string& text, const std::string& folder) {
  if (text.empty()) return false;
  const std::string expanded = WinLexical(Expand(scope, text));
  const std::string f = Fold(WinLexical(folder)) + "\\";
  const std::string t = Fold(expanded);
  return t.compare(0, f.size(), f) == 0 || t == Fold(WinLexical(folder));
}

}  // namespace pgl::leftovers

namespace pgl {

bool StillInstalled(const LeftoverScope& scope, const std::string& entryKey) {
  for (const TUninstallInfo& listed : scope.listed)
    if (AsciiEqualNoCase(RegistryKeyOf(listed), entryKey)) return true;
  const auto ref = ParseEntryKeyText(entryKey);
  // A key that cannot be read back to its place cannot be shown gone.
  if (!ref || !scope.registry) return true;
  return RegKeyExists(*scope.registry, PlaceOf(ref->view).root,
                      UninstallKeyPath(ref->view, ref->keyName));
}

}  // namespace pgl
