#include "leftovers/PlaceGuard.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "leftovers/StockPrefix.h"
#include "registry/QV_Registry.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {

namespace {

// Strictly below `folder`.
bool Below(std::string_view path, std::string_view folder) {
  if (folder.empty() || path.size() <= folder.size() || !path.starts_with(folder)) return false;
  return folder == "/" || path[folder.size()] == '/';
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path fully resolved, or empty when it is not there.
std::string Resolved(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::canonical(path, ec);
  return ec ? std::string() : p.string();
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

std::vector<std::string> Children(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  return names;
}

// The folders `rel` names below `base`, each part found without regard to case and "*" standing
// for every entry.
void Expand(const std::string& base, std::string_view rel, std::vector<std::string>& out) {
  if (rel.empty()) {
    out.push_back(base);
    return;
  }
  const auto slash = rel.find('/');
  const std::string_view part = rel.substr(0, slash);
  const std::string_view rest = slash == std::string_view::npos ? "" : rel.substr(slash + 1);
  const std::u16string wanted = FoldRegName(Utf8ToUtf16(part));
  for (const std::string& name : Children(base))
    if (part == "*" || FoldRegName(Utf8ToUtf16(name)) == wanted)
      Expand(base + "/" + name, rest, out);
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::size_t Parts(std::string_view rel) {
  return static_cast<std::size_t>(std::count(rel.begin(), rel.end(), '/')) + 1;
}

constexpr Refusal kSystemPlace{{"a system, shared or profile folder, or one holding it",
                                "folder systemowy, wspólny lub profilu albo zawierający taki"}};
constexpr Refusal kOutside{
    {"outside the prefix and the desktop's folders", "poza prefiksem i folderami pulpitu"}};
constexpr Refusal kNotWines{{"not a file that Wine made for the prefix",
                             "nie jest plikiem zrobionym przez Wine dla prefiksu"}};

// Whether `rel` (below the XDG data folder) is a file or folder Wine's menu builder makes.
bool WineMadeInData(std::string_view rel, LeftoverKind kind) {
  switch (kind) {
    case LeftoverKind::DesktopFile:
      return EndsWith(rel, ".desktop") &&
             (rel.starts_with("applications/wine/") ||
              (rel.starts_with("applications/wine-extension-") && Parts(rel) == 2));
    case LeftoverKind::MenuFile:
      return (rel.starts_with("desktop-directories/wine-") && EndsWith(rel, ".directory") &&
              Parts(rel) == 2) ||
             (rel.starts_with("mime/packages/x-wine-") && EndsWith(rel, ".xml") && Parts(rel) == 3);
    case LeftoverKind::Icon:
      return rel.starts_with("icons/hicolor/") && Parts(rel) == 5 &&
             rel.find("/apps/") != std::string_view::npos &&
             (EndsWith(rel, ".png") || EndsWith(rel, ".xpm") || EndsWith(rel, ".svg"));
    case LeftoverKind::Folder:  // a menu folder of Wine's, below its top ones
      return rel.starts_with("applications/wine/") && Parts(rel) >= 4;
    default:
      return false;
  }
}

}  // namespace

std::string HostPlace(const std::string& path) {
  std::error_code ec;
  const fs::path p(path);
  const std::string leaf = p.filename().string();
  if (leaf.empty() || leaf == "." || leaf == "..") {
    const fs::path whole = fs::weakly_canonical(p, ec);
    return ec ? path : whole.string();
  }
  const fs::path parent = fs::weakly_canonical(p.parent_path(), ec);
  return ec ? path : (parent / leaf).string();
}

PlaceGuard::PlaceGuard(const LeftoverScope& scope) {
  ProtectPrefix(scope);
  ProtectDesktop(scope.xdg);
}

void PlaceGuard::Protect(const std::string& path) {
  if (path.empty()) return;
  for (const bool follow : {false, true})
    if (const auto id = IdentityOf(path, follow)) holders_.insert(*id);
  // Every folder holding it, as spelled and as resolved.
  for (const std::string& start : {path, Resolved(path)})
    for (std::string up = start; !up.empty(); up = up == "/" ? "" : ParentOf(up))
      if (const auto id = IdentityOf(up, true)) holders_.insert(*id);
}

void PlaceGuard::ProtectTree(const std::string& path) {
  Protect(path);
  for (const bool follow : {false, true})
    if (const auto id = IdentityOf(path, follow)) trees_.insert(*id);
}

void PlaceGuard::ProtectPrefix(const LeftoverScope& scope) {
  if (scope.prefixDir.empty()) return;
  const std::string prefix = Resolved(scope.prefixDir);
  if (prefix.empty()) return;
  Protect(prefix);
  // Drive C: as Wine reaches it; a drive C: outside the prefix is no place of the prefix's.
  std::string drive = Resolved(prefix + "/dosdevices/c:");
  if (drive.empty()) drive = Resolved(prefix + "/drive_c");
  if (Below(drive, prefix)) drive_ = drive;
  Protect(prefix + "/drive_c");
  ProtectTree(prefix + "/dosdevices");
  for (const std::string& name : Children(prefix + "/dosdevices"))
    Protect(prefix + "/dosdevices/" + name);  // each drive's root
  if (drive_.empty()) return;
  Protect(drive_);
  for (const StockFolder& folder : StockFolders()) {
    std::vector<std::string> found;
    Expand(drive_, folder.path, found);
    for (const auto& f : found) folder.whole ? ProtectTree(f) : Protect(f);
  }
  // Each profile's folders: its shell folders, many of them links to the home's.
  std::vector<std::string> profiles;
  Expand(drive_, "users/*", profiles);
  for (const auto& profile : profiles)
    for (const std::string& name : Children(profile)) Protect(profile + "/" + name);
  if (!scope.platform || !scope.registry) return;
  const auto protectWindows = [&](const std::string& windows, bool tree) {
    if (windows.empty() || windows.find('%') != std::string::npos) return;
    if (const auto local = scope.platform->LocalPath(windows))
      tree ? ProtectTree(*local) : Protect(*local);
  };
  for (const char* name : {"SystemRoot", "windir"})
    protectWindows(scope.platform->ExpandEnvironmentStrings(std::string("%") + name + "%"), true);
  for (const char* name :
       {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "CommonProgramFiles",
        "CommonProgramFiles(x86)", "CommonProgramW6432", "ProgramData", "ALLUSERSPROFILE", "PUBLIC",
        "USERPROFILE", "APPDATA", "LOCALAPPDATA", "TEMP", "TMP", "SystemDrive"})
    protectWindows(scope.platform->ExpandEnvironmentStrings(std::string("%") + name + "%"), false);
  for (const RootKey root : {kHkeyCurrentUser, kHkeyLocalMachine})
    for (const char* key : {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell "
                            "Folders"})
      if (const RegKey* k = FindRegKey(scope.registry->Hive(root), key))
        for (const RegValue& v : k->Values())
          if (v.type == kRegSz || v.type == kRegExpandSz)
            protectWindows(scope.platform->ExpandEnvironmentStrings(Utf16ToUtf8(v.Text())), false);
}

void PlaceGuard::ProtectDesktop(const XdgFolders& xdg) {
  if (xdg.home.empty()) return;
  const std::string home = Resolved(xdg.home);
  Protect(xdg.home);
  // A desktop folder that is the home, or holds it, gives nothing of it.
  const auto usable = [&](const std::string& folder) {
    const std::string r = Resolved(folder);
    if (r.empty() || r == "/" || r == home || Below(home, r)) return std::string();
    return r;
  };
  dataHome_ = usable(xdg.dataHome);
  configHome_ = usable(xdg.configHome);
  desktop_ = usable(xdg.desktop);
  for (const std::string& folder :
       {xdg.dataHome, xdg.configHome, xdg.desktop, xdg.home + "/.local", xdg.home + "/.config",
        xdg.dataHome + "/applications", xdg.dataHome + "/applications/wine",
        xdg.dataHome + "/applications/wine/Programs", xdg.dataHome + "/desktop-directories",
        xdg.dataHome + "/mime", xdg.dataHome + "/mime/packages", xdg.dataHome + "/icons",
        xdg.dataHome + "/icons/hicolor", xdg.dataHome + "/Trash", xdg.configHome + "/menus",
        xdg.configHome + "/menus/applications-merged", xdg.configHome + "/autostart"})
    Protect(folder);
  std::vector<std::string> iconFolders;
  Expand(xdg.dataHome + "/icons/hicolor", "*/apps", iconFolders);
  for (const auto& f : iconFolders) Protect(f);
  for (const auto& f : Children(xdg.dataHome + "/icons/hicolor"))
    Protect(xdg.dataHome + "/icons/hicolor/" + f);
}

bool PlaceGuard::IsProtected(const std::string& path) const {
  const auto own = IdentityOf(path, false);
  if (!own || holders_.contains(*own) || trees_.contains(*own)) return true;
  for (std::string up = ParentOf(path); !up.empty(); up = up == "/" ? "" : ParentOf(up))
    if (const auto id = IdentityOf(up, true); id && trees_.contains(*id)) return true;
  // A link that leads to such a place is judged as that place: when in doubt, nothing.
  if (IdentityOf(path, true) != own) {
    const std::string target = Resolved(path);
    return target.empty() || (target != path && IsProtected(target));
  }
  return false;
}

std::string PlaceGuard::RootOf(const std::string& path) const {
  for (const std::string* root : {&drive_, &dataHome_, &configHome_, &desktop_})
    if (Below(path, *root)) return *root;
  return {};
}

Refusal PlaceGuard::Judge(const std::string& path, LeftoverKind kind) const {
  if (path.empty() || path[0] != '/' || kind == LeftoverKind::RegistryKey ||
      kind == LeftoverKind::RegistryValue)
    return kOutside;
  if (IsProtected(path)) return kSystemPlace;
  if (Below(path, drive_)) return {};
  const bool file = kind != LeftoverKind::Folder;
  if (file && !IsRegularFile(path)) return kNotWines;
  if (Below(path, dataHome_))
    return WineMadeInData(std::string_view(path).substr(dataHome_.size() + 1), kind) ? Refusal{}
                                                                                     : kNotWines;
  if (Below(path, configHome_)) {
    const std::string_view rel = std::string_view(path).substr(configHome_.size() + 1);
    return kind == LeftoverKind::MenuFile && rel.starts_with("menus/applications-merged/wine-") &&
                   EndsWith(rel, ".menu") && Parts(rel) == 3
               ? Refusal{}
               : kNotWines;
  }
  if (Below(path, desktop_)) {
    const std::string_view rel = std::string_view(path).substr(desktop_.size() + 1);
    const bool desktopEntry = kind == LeftoverKind::DesktopFile && EndsWith(rel, ".desktop");
    const bool shortcut = kind == LeftoverKind::File && EndsWith(rel, ".lnk");
    return (desktopEntry || shortcut) && Parts(rel) == 1 ? Refusal{} : kNotWines;
  }
  return kOutside;
}

}  // namespace pgl
