#include "leftovers/Leftovers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "inventory/CommandAnalysis.h"
#include "inventory/UninstallPlaces.h"
#include "leftovers/PlaceGuard.h"
#include "leftovers/ShellLink.h"
#include "leftovers/StockPrefix.h"
#include "platform/AppFiles.h"
#include "platform/Trash.h"
#include "registry/KeySnapshot.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"
#include "util/CodePage.h"
#include "util/FileIO.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {

namespace {

constexpr std::size_t kMaxRecordedFiles = 10000;
constexpr std::size_t kMaxWalk = 200000;
const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Names that many programs share: never taken as a program's own.
constexpr std::array<std::string_view, 24> kGenericNames = {
    "update",       "updater",       "setup",    "install", "installer", "uninstall",
    "common files", "microsoft",     "windows",  "wine",    "temp",      "tmp",
    "programs",     "program files", "users",    "public",  "data",      "cache",
    "logs",         "config",        "settings", "classes", "policies",  "packages"};

std::string Fold(std::string_view utf8) {
  return Utf16ToUtf8(FoldRegName(Utf8ToUtf16(utf8)));
}

// A Windows path with backslashes and no trailing one (but "C:\").
std::string WinNorm(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// The path as Windows reads it: "." and ".." taken out part by part, the blanks and dots that
// end its last part dropped.
std::string WinLexical(const std::string& path) {
  const std::string norm = WinNorm(path);
  if (norm.size() < 3 || norm[1] != ':' || norm[2] != '\\') return norm;
  const std::vector<std::string> parts = WindowsPathParts(std::string_view(norm).substr(3));
  std::string out = norm.substr(0, 2);
  for (const auto& part : parts) out += "\\" + part;
  return parts.empty() ? out + "\\" : out;
}

bool WinInside(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.empty()) return false;
  const std::string p = Fold(WinLexical(path)), f = Fold(WinLexical(folder));
  return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '\\');
}

std::string WinParent(const std::string& path) {
  const auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash == 2 ? 3 : slash);
}

std::string WinLeaf(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
}

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

// A Windows folder no program owns, judged where Wine finds it: a system, shell or profile
// folder, one holding such a folder, or one outside drive C:. A folder that is not there
// cannot be judged and counts as one.
bool IsSystemFolder(const LeftoverScope& scope, const PlaceGuard& guard, const std::string& path) {
  const std::string lexical = WinLexical(path);
  if (lexical.size() <= 3) return true;
  const auto local = scope.platform->LocalPath(lexical);
  return !local || guard.Judge(HostPlace(*local), LeftoverKind::Folder);
}

// The system's own folders by their names alone: what another program's folder may not be.
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

// Where the program lives: InstallLocation, else its uninstaller's folder, else its icon's,
// else its usage record's program file's; a system or shared folder is none.
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

// The install folders of the other programs listed.
// Their folders are only ever kept out of the offer, so a folder that is only judged by its
// spelling may count among them; a drive's root never does, or nothing would be offered.
std::vector<std::string> OthersFolders(const LeftoverScope& scope, const std::string& entryKey) {
  std::vector<std::string> folders;
  for (const TUninstallInfo& other : scope.listed)
    if (!AsciiEqualNoCase(RegistryKeyOf(other), entryKey))
      if (std::string f = InstallFolderOf(scope, nullptr, other); !f.empty()) folders.push_back(f);
  return folders;
}

bool UnixInside(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

std::uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto status = fs::symlink_status(path, ec);
  if (ec) return 0;
  if (fs::is_regular_file(status)) return fs::file_size(path, ec);
  if (!fs::is_directory(status)) return 0;
  std::uint64_t total = 0;
  std::size_t seen = 0;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end && seen < kMaxWalk; it.increment(ec), ++seen) {
    std::error_code fileError;
    if (it->is_regular_file(fileError) && !it->is_symlink(fileError))
      total += it->file_size(fileError);
  }
  return total;
}

// The entries of a folder, folded, with their real names.
std::vector<std::pair<std::string, std::string>> Children(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    names.emplace_back(Fold(name), name);
  }
  return names;
}

std::string Child(const std::string& folder, const std::string& name) {
  const std::string folded = Fold(name);
  for (const auto& [f, real] : Children(folder))
    if (f == folded) return folder + "/" + real;
  return {};
}

bool PointsInto(const LeftoverScope& scope, const std::string& text, const std::string& folder) {
  if (text.empty()) return false;
  const std::string expanded = WinLexical(Expand(scope, text));
  const std::string f = Fold(WinLexical(folder)) + "\\";
  const std::string t = Fold(expanded);
  return t.compare(0, f.size(), f) == 0 || t == Fold(WinLexical(folder));
}

void ScanRegistry(const LeftoverScope& scope, const std::string& folder, Evidence& ev) {
  RegistryStore& reg = *scope.registry;
  const auto place = [](RootKey root) { return root == kHkeyCurrentUser ? "HKCU" : "HKLM"; };
  // App Paths: the program's own keys.
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser})
    for (const char* path :
         {"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
          "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths"}) {
      const RegKey* key = FindRegKey(reg.Hive(root), path);
      if (!key) continue;
      for (const auto& sub : key->SubKeys())
        if (PointsInto(scope, ValueText(sub.get(), u""), folder) ||
            PointsInto(scope, ValueText(sub.get(), u"Path"), folder))
          ev.registry.push_back({root, std::string(path) + "\\" + Utf16ToUtf8(sub->Name()), "",
                                 true, "its App Paths entry", "jego wpis App Paths"});
    }
  // Programs started with Windows.
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser})
    for (const char* path : {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                             "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"}) {
      const RegKey* key = FindRegKey(reg.Hive(root), path);
      if (!key) continue;
      for (const RegValue& v : key->Values())
        if (PointsInto(scope, Utf16ToUtf8(v.Text()), folder))
          ev.registry.push_back({root, path, Utf16ToUtf8(v.Name()), false,
                                 std::string("started with Windows (") + place(root) + " Run)",
                                 std::string("uruchamiany z systemem (") + place(root) + " Run)"});
    }
  // File types it opens. A ProgID is its own when Wine does not ship it and each of its verbs
  // runs something in its folder: then the ProgID goes whole, with the extensions naming it. Of
  // any other ProgID (Wine's txtfile, one another program's verb uses) only the commands that
  // run something in its folder are its own.
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    const RegKey* classes = FindRegKey(reg.Hive(root), "Software\\Classes");
    if (!classes) continue;
    std::vector<std::u16string> progIds;
    for (const auto& sub : classes->SubKeys()) {
      if (!sub->Name().empty() && sub->Name()[0] == u'.') continue;
      const RegKey* shell = sub->FindSubKey(u"shell");
      if (!shell) continue;
      std::vector<std::string> ourVerbs;
      bool every = true;
      for (const auto& verb : shell->SubKeys()) {
        const bool ours = PointsInto(scope, ValueText(verb->FindSubKey(u"command"), u""), folder);
        if (ours) ourVerbs.push_back(Utf16ToUtf8(verb->Name()));
        every = every && ours;
      }
      if (ourVerbs.empty()) continue;
      const std::string keyPath = "Software\\Classes\\" + Utf16ToUtf8(sub->Name());
      if (every && !IsStockKey(kHkeyLocalMachine, keyPath) &&
          !IsStockKey(kHkeyCurrentUser, keyPath)) {
        progIds.push_back(FoldRegName(sub->Name()));
        ev.registry.push_back(
            {root, keyPath, "", true, "a file type it opens", "typ plików, które otwiera"});
        continue;
      }
      for (const auto& verb : ourVerbs)
        ev.registry.push_back({root, keyPath + "\\shell\\" + verb + "\\command", "", false,
                               "its command for a file type others use too",
                               "jego polecenie dla typu plików używanego też przez innych"});
    }
    if (progIds.empty()) continue;
    for (const auto& sub : classes->SubKeys()) {
      if (sub->Name().empty() || sub->Name()[0] != u'.') continue;
      const std::u16string named = FoldRegName(Utf8ToUtf16(ValueText(sub.get(), u"")));
      if (std::find(progIds.begin(), progIds.end(), named) == progIds.end()) continue;
      const bool alone = sub->SubKeys().empty() && sub->Values().size() == 1 &&
                         !IsStockKey(root, "Software\\Classes\\" + Utf16ToUtf8(sub->Name()));
      ev.registry.push_back({root, "Software\\Classes\\" + Utf16ToUtf8(sub->Name()), "", alone,
                             "a file extension given to it",
                             "rozszerzenie plików przypisane do niego"});
    }
  }
  // Shared files counted for it.
  const char* shared = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  if (const RegKey* key = FindRegKey(reg.Hive(kHkeyLocalMachine), shared))
    for (const RegValue& v : key->Values())
      if (PointsInto(scope, Utf16ToUtf8(v.Name()), folder))
        ev.registry.push_back({kHkeyLocalMachine, shared, Utf16ToUtf8(v.Name()), false,
                               "a shared file of its folder", "plik współdzielony z jego folderu"});
}

// Every path here is resolved: the files are found below resolved folders without following
// links.
struct DesktopScan {
  std::vector<std::string> ours;
  std::vector<DesktopEntry> all;           // every entry Wine made, ours included
  std::vector<std::string> iconsOfOthers;  // named by entries that are not Wine's
  std::set<std::string> iconsInUse;        // named by an entry that stays, Wine's or not
};

// The .desktop files of the user's menus and desktop, Wine's or not.
std::vector<std::string> DesktopFilesOf(const XdgFolders& xdg) {
  const auto resolved = [](const std::string& folder) {
    std::error_code ec;
    const std::string r = fs::weakly_canonical(folder, ec).string();
    return ec ? folder : r;
  };
  std::vector<std::string> files = DesktopFilesIn(resolved(xdg.dataHome + "/applications"), 8);
  for (const auto& f : DesktopFilesIn(resolved(xdg.desktop), 0)) files.push_back(f);
  return files;
}

// Reads the file as Wine's entry into `scan.all`, or notes the icon of another's.
std::optional<DesktopEntry> ReadEntry(const std::string& file, DesktopScan& scan) {
  auto entry = ReadDesktopEntry(file);
  if (entry)
    scan.all.push_back(*entry);
  else if (std::string icon = DesktopIconOf(file); !icon.empty())
    scan.iconsOfOthers.push_back(std::move(icon));
  return entry;
}

// Marks the icons the entries that stay name, once `scan.ours` is known.
void NoteIconsInUse(DesktopScan& scan) {
  const std::set<std::string> ours(scan.ours.begin(), scan.ours.end());
  for (const DesktopEntry& e : scan.all)
    if (!e.icon.empty() && !ours.count(e.file)) scan.iconsInUse.insert(e.icon);
  scan.iconsInUse.insert(scan.iconsOfOthers.begin(), scan.iconsOfOthers.end());
}

// The .desktop files Wine made for the program: their Exec names this prefix and one of its
// shortcuts, a path inside its folder, or one of its file types; or they start in its folder.
DesktopScan ScanDesktop(const LeftoverScope& scope, const Evidence& ev,
                        const std::vector<std::string>& progIds) {
  DesktopScan scan;
  if (scope.xdg.home.empty()) return scan;
  const std::vector<std::string> files = DesktopFilesOf(scope.xdg);
  const std::string prefix = HostPlace(scope.prefixDir);
  const std::string folder = ev.installFolder.empty() ? "" : HostPlace(ev.installFolder);
  for (const std::string& file : files) {
    const auto entry = ReadEntry(file, scan);
    if (!entry || entry->prefix.empty() || HostPlace(entry->prefix) != prefix) continue;
    bool ours =
        !ev.installFolderWindows.empty() && WinInside(entry->winePath, ev.installFolderWindows);
    for (const auto& lnk : ev.shortcutsWindows) ours = ours || Fold(entry->winePath) == Fold(lnk);
    if (!folder.empty() && !entry->workDir.empty())
      ours = ours || UnixInside(HostPlace(entry->workDir), folder);
    for (const auto& id : progIds) ours = ours || Fold(entry->progId) == Fold(id);
    if (ours) scan.ours.push_back(file);
  }
  // The entries the record names are its own, found again or not.
  for (const auto& f : ev.desktopFiles)
    if (std::find(scan.ours.begin(), scan.ours.end(), f) == scan.ours.end() && Exists(f))
      scan.ours.push_back(f);
  NoteIconsInUse(scan);
  return scan;
}

std::vector<std::string> ProgIdsOf(const Evidence& ev) {
  std::vector<std::string> ids;
  for (const auto& p : ev.registry)
    if (p.wholeKey && p.key.rfind("Software\\Classes\\", 0) == 0 && p.key.find('.', 17) != 17)
      ids.push_back(p.key.substr(17));
  return ids;
}

struct Why {
  const char* english;
  const char* polish;
};
// Why a settings folder or key named after the program is offered, and its publisher's.
Why SettingsWhy(Confidence c) {
  return c == Confidence::Sure ? Why{"settings named like its install folder",
                                     "ustawienia nazwane jak jego folder instalacji"}
                               : Why{"settings named after its publisher and product",
                                     "ustawienia nazwane jak jego wydawca i produkt"};
}
Why PublisherWhy(Confidence c) {
  return c == Confidence::Sure ? Why{"it held only its settings", "zawierał tylko jego ustawienia"}
                               : Why{"named after its publisher, holding nothing else",
                                     "nazwany jak jego wydawca, nie zawiera nic innego"};
}

using AddFile =
    std::function<void(LeftoverKind, Confidence, const std::string&, const char*, const char*)>;

// Collects file items: each once, only where it exists and the guard lets it be offered, never
// inside (or holding) another program's folder.
struct FileItems {
  FileItems(const PlaceGuard& placeGuard, std::vector<std::string> othersLocal)
      : guard(placeGuard), others(std::move(othersLocal)) {}

  void Add(std::vector<Leftover>& items, LeftoverKind kind, Confidence confidence,
           const std::string& path, const char* why, const char* whyPolish) {
    const std::string p = HostPlace(path);
    if (!Exists(p) || seen.count(p) || guard.Judge(p, kind)) return;
    const auto id = IdentityOf(p, false);
    if (!id) return;
    for (const auto& o : others)
      if (UnixInside(p, o) || UnixInside(o, p)) return;
    seen.insert(p);
    Leftover item;
    item.kind = kind;
    item.confidence = confidence;
    item.path = p;
    item.reason = why;
    item.reasonPolish = whyPolish;
    item.size = SizeOf(p);
    item.id = *id;
    items.push_back(std::move(item));
  }

  const PlaceGuard& guard;
  std::vector<std::string> others;
  std::set<std::string> seen;
};

// What goes with Wine's .desktop files `desktop.ours`: the files themselves, their menu files,
// the menu folders and .directory files left with nothing else, their file types' MIME
// packages, and the icons no other entry uses.
void AddDesktopItems(const XdgFolders& xdg, const DesktopScan& desktop, const AddFile& addFile,
                     const char* why, const char* whyPolish) {
  std::error_code ec;
  const std::string appsWine =
      fs::weakly_canonical(xdg.dataHome + "/applications/wine", ec).string();
  const std::string apps = fs::weakly_canonical(xdg.dataHome + "/applications", ec).string();
  const auto ours = [&](const std::string& file) {
    return std::find(desktop.ours.begin(), desktop.ours.end(), file) != desktop.ours.end();
  };
  std::set<std::string> icons;
  std::set<std::string> folders;  // below applications/wine
  for (const auto& file : desktop.ours) {
    addFile(LeftoverKind::DesktopFile, Confidence::Sure, file, why, whyPolish);
    for (const auto& e : desktop.all)
      if (e.file == file && !e.icon.empty() && e.icon.find('/') == std::string::npos)
        icons.insert(e.icon);
    const std::string name = fs::path(file).filename().string();
    if (fs::path(file).parent_path().string() == apps && name.rfind("wine-extension-", 0) == 0)
      addFile(LeftoverKind::MenuFile, Confidence::Sure,
              xdg.dataHome + "/mime/packages/x-wine-extension-" +
                  name.substr(15, name.size() - 23) + ".xml",
              "the file type of its association", "typ plików jego skojarzenia");
    if (!UnixInside(file, appsWine)) continue;
    std::string rel = file.substr(appsWine.size() + 1, file.size() - appsWine.size() - 9);
    std::string menuName = rel;
    std::replace(menuName.begin(), menuName.end(), '/', '-');
    addFile(LeftoverKind::MenuFile, Confidence::Sure,
            xdg.configHome + "/menus/applications-merged/wine-" + menuName + ".menu",
            "its menu file", "jego plik menu");
    for (auto slash = rel.rfind('/'); slash != std::string::npos && slash > 0;
         slash = rel.rfind('/', slash - 1))
      folders.insert(rel.substr(0, slash));
  }
  // A menu folder goes with its .directory file when nothing but these entries is in it.
  std::vector<std::string> byDepth(folders.begin(), folders.end());
  std::sort(byDepth.begin(), byDepth.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  std::set<std::string> going;
  for (const auto& rel : byDepth) {
    const std::string dir = appsWine + "/" + rel;
    // Everything in it goes: its entries, and folders that go themselves; anything else (a file
    // of the user's, a link) keeps it.
    bool onlyOurs = true;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end && onlyOurs; it.increment(ec)) {
      const std::string child = it->path().string();
      std::error_code e;
      onlyOurs = it->is_symlink(e)     ? false
                 : it->is_directory(e) ? going.count(HostPlace(child)) > 0
                                       : ours(child);
    }
    if (ec || !onlyOurs) continue;
    going.insert(HostPlace(dir));
    std::string name = rel;
    std::replace(name.begin(), name.end(), '/', '-');
    addFile(LeftoverKind::MenuFile, Confidence::Sure,
            xdg.dataHome + "/desktop-directories/wine-" + name + ".directory",
            "the menu folder of its entries", "folder menu z jego wpisami");
    addFile(LeftoverKind::Folder, Confidence::Sure, dir, "the menu folder of its entries",
            "folder menu z jego wpisami");
  }
  for (const auto& icon : icons) {
    if (desktop.iconsInUse.count(icon)) continue;
    const std::string hicolor = xdg.dataHome + "/icons/hicolor";
    for (const auto& [f, size] : Children(hicolor))
      for (const char* ext : {".png", ".xpm", ".svg"})
        addFile(LeftoverKind::Icon, Confidence::Sure, hicolor + "/" + size + "/apps/" + icon + ext,
                "the icon of its menu entry", "ikona jego wpisu menu");
  }
}

}  // namespace

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

std::string LeftoversFolder() {
  return ProgramFilesDir() + "/leftovers";
}

std::string Leftover::Text() const {
  if (!IsRegistry()) return path;
  std::string text = std::string(root == kHkeyCurrentUser ? "HKCU\\" : "HKLM\\") + key;
  if (kind == LeftoverKind::RegistryValue) text += ": " + (value.empty() ? "(default)" : value);
  return text;
}

Evidence CollectEvidence(const LeftoverScope& scope, const TUninstallInfo& entry) {
  Evidence ev;
  ev.prefix = scope.prefixDir;
  ev.entryKey = RegistryKeyOf(entry);
  ev.displayName = entry.DisplayName.str();
  ev.publisher = entry.Publisher.str();
  char now[32];
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  std::strftime(now, sizeof now, "%Y-%m-%dT%H:%M:%SZ", &utc);
  ev.recorded = now;
  const PlaceGuard guard(scope);
  ev.installFolderWindows = InstallFolderOf(scope, &guard, entry);
  // A folder that holds another listed program's folder is shared, not its own.
  if (ev.installFolderWindows.empty()) return ev;
  ev.installFolder = HostPlace(scope.platform->LocalPath(ev.installFolderWindows).value_or(""));
  for (const auto& other : OthersFolders(scope, ev.entryKey)) {
    const auto local = scope.platform->LocalPath(other);
    if (WinInside(other, ev.installFolderWindows) ||
        (local && UnixInside(HostPlace(*local), ev.installFolder))) {
      ev.installFolderWindows.clear();
      ev.installFolder.clear();
      return ev;
    }
  }
  std::error_code ec;
  // A folder that is a link is recorded as the link: what it leads to is not the program's.
  if (!fs::is_symlink(ev.installFolder, ec))
    for (fs::recursive_directory_iterator
             it(ev.installFolder, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end && ev.files.size() < kMaxRecordedFiles; it.increment(ec))
      ev.files.push_back(fs::relative(it->path(), ev.installFolder, ec).string());
  // Shortcuts in the Start menus and on the desktops.
  const std::array<std::pair<RootKey, std::u16string_view>, 4> shortcutFolders = {{
      {kHkeyCurrentUser, u"Programs"},
      {kHkeyCurrentUser, u"Desktop"},
      {kHkeyLocalMachine, u"Common Programs"},
      {kHkeyLocalMachine, u"Common Desktop"},
  }};
  for (const auto& [root, name] : shortcutFolders) {
    const std::string windows = ShellFolder(scope, root, name);
    const auto local = windows.empty() ? std::nullopt : scope.platform->LocalPath(windows);
    if (!local) continue;
    // Drive C:'s shortcut folders are searched through, the desktop's own folder (where Wine
    // links the profile's desktop) only at its top; a folder that leads anywhere else (a
    // desktop linked to the home) not at all.
    const std::string start = fs::weakly_canonical(*local, ec).string();
    if (ec) continue;
    const bool onDesktop = !guard.Desktop().empty() && start == guard.Desktop();
    if (!onDesktop && (guard.Drive().empty() || !UnixInside(start, guard.Drive()))) continue;
    std::size_t seen = 0;
    for (fs::recursive_directory_iterator
             it(start, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end && ++seen < kMaxWalk; it.increment(ec)) {
      if (onDesktop) it.disable_recursion_pending();
      const std::string file = it->path().string();
      std::error_code e;
      if (it->is_symlink(e) || !it->is_regular_file(e) || Fold(file).size() < 4 ||
          Fold(file).compare(Fold(file).size() - 4, 4, ".lnk") != 0)
        continue;
      const auto link = ReadShellLink(ReadFileStart(file, 1 << 20), scope.codePage);
      if (!link) continue;
      const std::string target = link->target.empty() ? link->workingDir : link->target;
      if (!WinInside(target, ev.installFolderWindows)) continue;
      std::string rel = fs::relative(it->path(), start, e).string();
      std::replace(rel.begin(), rel.end(), '/', '\\');
      ev.shortcuts.push_back(HostPlace(file));
      ev.shortcutsWindows.push_back(windows + "\\" + rel);
    }
  }
  ScanRegistry(scope, ev.installFolderWindows, ev);
  ev.desktopFiles = ScanDesktop(scope, ev, ProgIdsOf(ev)).ours;
  return ev;
}

bool StillInstalled(const LeftoverScope& scope, const std::string& entryKey) {
  for (const TUninstallInfo& listed : scope.listed)
    if (AsciiEqualNoCase(RegistryKeyOf(listed), entryKey)) return true;
  const auto ref = ParseEntryKeyText(entryKey);
  // A key that cannot be read back to its place cannot be shown gone.
  if (!ref || !scope.registry) return true;
  return RegKeyExists(*scope.registry, PlaceOf(ref->view).root,
                      UninstallKeyPath(ref->view, ref->keyName));
}

std::vector<Leftover> FindLeftovers(const LeftoverScope& scope, const Evidence& ev) {
  std::vector<Leftover> items;
  const PlaceGuard guard(scope);
  std::vector<std::string> others = OthersFolders(scope, ev.entryKey);
  std::vector<std::string> othersLocal;
  for (const auto& o : others)
    if (const auto local = scope.platform->LocalPath(o)) othersLocal.push_back(HostPlace(*local));
  FileItems files(guard, othersLocal);
  const AddFile addFile = [&](LeftoverKind kind, Confidence confidence, const std::string& path,
                              const char* why, const char* whyPolish) {
    files.Add(items, kind, confidence, path, why, whyPolish);
  };
  // What the record ties to it.
  if (!ev.installFolder.empty()) {
    addFile(LeftoverKind::Folder, Confidence::Sure, ev.installFolder, "its install folder",
            "jego folder instalacji");
    const std::string parentWindows = WinParent(ev.installFolderWindows);
    const std::string parent = fs::path(HostPlace(ev.installFolder)).parent_path().string();
    const auto children = Children(parent);
    if (!IsSystemFolder(scope, guard, parentWindows) && children.size() == 1 &&
        Fold(children[0].second) == Fold(WinLeaf(ev.installFolderWindows)))
      addFile(LeftoverKind::Folder, Confidence::Sure, parent, "it held only its install folder",
              "zawierał tylko jego folder instalacji");
  }
  const std::string programs = ShellFolder(scope, kHkeyCurrentUser, u"Programs");
  const std::string commonPrograms = ShellFolder(scope, kHkeyLocalMachine, u"Common Programs");
  for (std::size_t i = 0; i < ev.shortcuts.size(); ++i) {
    addFile(LeftoverKind::File, Confidence::Sure, ev.shortcuts[i], "a shortcut to it",
            "skrót do niego");
    // Its own Start-menu folder, when it holds nothing else.
    const std::string folderWindows = WinParent(ev.shortcutsWindows[i]);
    if (!WinInside(folderWindows, programs) && !WinInside(folderWindows, commonPrograms)) continue;
    if (Fold(folderWindows) == Fold(programs) || Fold(folderWindows) == Fold(commonPrograms))
      continue;
    const std::string folder = fs::path(ev.shortcuts[i]).parent_path().string();
    bool onlyOurs = true;
    for (const auto& [f, real] : Children(folder))
      onlyOurs = onlyOurs && std::find(ev.shortcuts.begin(), ev.shortcuts.end(),
                                       HostPlace(folder + "/" + real)) != ev.shortcuts.end();
    if (onlyOurs)
      addFile(LeftoverKind::Folder, Confidence::Sure, folder, "its Start-menu folder",
              "jego folder w menu Start");
  }
  for (const RegPointer& p : ev.registry) {
    const RegKey* key = FindRegKey(scope.registry->Hive(p.root), p.key);
    if (!key || (p.wholeKey && IsStockKey(p.root, p.key))) continue;
    Leftover item;
    item.root = p.root;
    item.key = p.key;
    item.reason = p.why;
    item.reasonPolish = p.whyPolish;
    if (p.wholeKey) {
      item.kind = LeftoverKind::RegistryKey;
    } else {
      if (!key->FindValue(Utf8ToUtf16(p.value))) continue;
      item.kind = LeftoverKind::RegistryValue;
      item.value = p.value;
    }
    items.push_back(std::move(item));
  }
  // The desktop's side: Wine's menu entries and desktop shortcuts, their icons and menus.
  const DesktopScan desktop = ScanDesktop(scope, ev, ProgIdsOf(ev));
  AddDesktopItems(scope.xdg, desktop, addFile, "Wine's menu entry or desktop shortcut for it",
                  "wpis menu lub skrót na pulpicie zrobiony dla niego przez Wine");
  // Settings named after it: exact publisher and product (likely), one of them (uncertain).
  std::vector<std::string> products, publishers;
  const auto addName = [](std::vector<std::string>& names, std::string name) {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty() || Generic(name)) return;
    for (const auto& n : names)
      if (Fold(n) == Fold(name)) return;
    names.push_back(name);
  };
  if (!ev.installFolderWindows.empty()) addName(products, WinLeaf(ev.installFolderWindows));
  addName(products, ev.displayName);
  addName(publishers, ev.publisher);
  if (!ev.installFolderWindows.empty()) {
    const std::string parent = WinParent(ev.installFolderWindows);
    if (!IsSystemFolder(scope, guard, parent)) addName(publishers, WinLeaf(parent));
  }
  // A name another listed program also goes by is no evidence.
  std::set<std::string> otherNames, otherPublisherNames;
  for (const TUninstallInfo& other : scope.listed)
    if (!AsciiEqualNoCase(RegistryKeyOf(other), ev.entryKey)) {
      otherNames.insert(Fold(other.DisplayName.str()));
      otherPublisherNames.insert(Fold(other.Publisher.str()));
    }
  for (const auto& folder : others) otherNames.insert(Fold(WinLeaf(folder)));
  const auto takenBy = [](const std::set<std::string>& names) {
    return [&names](const std::string& n) { return names.count(Fold(n)) > 0; };
  };
  std::erase_if(products, takenBy(otherNames));
  std::erase_if(products, takenBy(otherPublisherNames));
  std::erase_if(publishers, takenBy(otherNames));
  std::vector<std::string> settingsRoots;
  const std::string roaming = ShellFolder(scope, kHkeyCurrentUser, u"AppData");
  for (const std::string& w : {roaming, ShellFolder(scope, kHkeyCurrentUser, u"Local AppData"),
                               roaming.empty() ? std::string() : WinParent(roaming) + "\\LocalLow",
                               ShellFolder(scope, kHkeyLocalMachine, u"Common AppData")})
    if (!w.empty())
      if (const auto local = scope.platform->LocalPath(w)) settingsRoots.push_back(*local);
  // Publishers of other listed programs: their folders are never offered as a whole.
  std::set<std::string> otherPublishers;
  for (const TUninstallInfo& other : scope.listed)
    if (!AsciiEqualNoCase(RegistryKeyOf(other), ev.entryKey))
      otherPublishers.insert(Fold(other.Publisher.str()));
  // Settings kept under the very names its install folder has (PUBLISHER\PRODUCT): as sure as
  // the folder itself.
  std::string ownPublisher, ownProduct;
  if (!ev.installFolderWindows.empty()) {
    const std::string parent = WinParent(ev.installFolderWindows);
    if (!IsSystemFolder(scope, guard, parent) &&
        std::find(publishers.begin(), publishers.end(), WinLeaf(parent)) != publishers.end() &&
        std::find(products.begin(), products.end(), WinLeaf(ev.installFolderWindows)) !=
            products.end()) {
      ownPublisher = Fold(WinLeaf(parent));
      ownProduct = Fold(WinLeaf(ev.installFolderWindows));
    }
  }
  const auto pairConfidence = [&](const std::string& publisher, const std::string& product) {
    return !ownPublisher.empty() && Fold(publisher) == ownPublisher && Fold(product) == ownProduct
               ? Confidence::Sure
               : Confidence::Likely;
  };
  for (const auto& root : settingsRoots) {
    for (const auto& publisher : publishers) {
      const std::string p = Child(root, publisher);
      if (p.empty()) continue;
      bool onlyOurs = true;
      Confidence best = Confidence::Uncertain;
      for (const auto& [f, real] : Children(p)) {
        const std::string* matched = nullptr;
        for (const auto& product : products)
          if (f == Fold(product)) matched = &product;
        if (matched) {
          const Confidence c = pairConfidence(publisher, *matched);
          if (c == Confidence::Sure) best = c;
          addFile(LeftoverKind::Folder, c, p + "/" + real, SettingsWhy(c).english,
                  SettingsWhy(c).polish);
        }
        onlyOurs = onlyOurs && matched;
      }
      if (onlyOurs && !otherPublishers.count(Fold(publisher)))
        addFile(LeftoverKind::Folder, best, p, PublisherWhy(best).english,
                PublisherWhy(best).polish);
    }
    for (const auto& product : products)
      if (const std::string p = Child(root, product); !p.empty())
        addFile(LeftoverKind::Folder, Confidence::Uncertain, p, "named after the product",
                "nazwany jak produkt");
  }
  const std::array<std::pair<RootKey, const char*>, 3> softwareRoots = {{
      {kHkeyCurrentUser, "Software"},
      {kHkeyLocalMachine, "Software"},
      {kHkeyLocalMachine, "Software\\Wow6432Node"},
  }};
  const auto addKey = [&](RootKey root, const std::string& key, Confidence confidence,
                          const char* why, const char* whyPolish) {
    if (IsStockKey(root, key)) return;  // Wine's structure, whatever the program is called
    for (const auto& item : items)
      if (item.IsRegistry() && item.root == root && Fold(item.key) == Fold(key)) return;
    Leftover item;
    item.kind = LeftoverKind::RegistryKey;
    item.confidence = confidence;
    item.root = root;
    item.key = key;
    item.reason = why;
    item.reasonPolish = whyPolish;
    items.push_back(std::move(item));
  };
  for (const auto& [root, base] : softwareRoots) {
    const RegKey* software = FindRegKey(scope.registry->Hive(root), base);
    if (!software) continue;
    for (const auto& publisher : publishers) {
      const RegKey* p = software->FindSubKey(Utf8ToUtf16(publisher));
      if (!p) continue;
      bool onlyOurs = p->Values().empty();
      Confidence best = Confidence::Uncertain;
      for (const auto& sub : p->SubKeys()) {
        const std::string* matched = nullptr;
        for (const auto& product : products)
          if (RegNamesEqual(sub->Name(), Utf8ToUtf16(product))) matched = &product;
        if (matched) {
          const Confidence c = pairConfidence(publisher, *matched);
          if (c == Confidence::Sure) best = c;
          addKey(
              root,
              std::string(base) + "\\" + Utf16ToUtf8(p->Name()) + "\\" + Utf16ToUtf8(sub->Name()),
              c, SettingsWhy(c).english, SettingsWhy(c).polish);
        }
        onlyOurs = onlyOurs && matched;
      }
      if (onlyOurs && !otherPublishers.count(Fold(publisher)))
        addKey(root, std::string(base) + "\\" + Utf16ToUtf8(p->Name()), best,
               PublisherWhy(best).english, PublisherWhy(best).polish);
    }
    for (const auto& product : products)
      if (const RegKey* p = software->FindSubKey(Utf8ToUtf16(product)))
        addKey(root, std::string(base) + "\\" + Utf16ToUtf8(p->Name()), Confidence::Uncertain,
               "named after the product", "nazwany jak produkt");
  }
  return items;
}

std::string EvidenceToJson(const std::vector<Evidence>& records) {
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  for (const Evidence& ev : records) {
    nlohmann::ordered_json pointers = nlohmann::ordered_json::array();
    for (const RegPointer& p : ev.registry)
      pointers.push_back({{"root", p.root == kHkeyCurrentUser ? "HKCU" : "HKLM"},
                          {"key", p.key},
                          {"value", p.value},
                          {"whole_key", p.wholeKey},
                          {"why", p.why},
                          {"why_polish", p.whyPolish}});
    all.push_back({{"prefix", ev.prefix},
                   {"key", ev.entryKey},
                   {"name", ev.displayName},
                   {"publisher", ev.publisher},
                   {"recorded", ev.recorded},
                   {"install_folder_windows", ev.installFolderWindows},
                   {"install_folder", ev.installFolder},
                   {"files", ev.files},
                   {"shortcuts", ev.shortcuts},
                   {"shortcuts_windows", ev.shortcutsWindows},
                   {"registry", pointers},
                   {"desktop_files", ev.desktopFiles}});
  }
  return all.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool EvidenceFromJson(const std::string& text, std::vector<Evidence>& records) {
  const auto all = nlohmann::json::parse(text, nullptr, false);
  if (all.is_discarded() || !all.is_array()) return false;
  try {
    for (const auto& j : all) {
      Evidence ev;
      ev.prefix = j.at("prefix").get<std::string>();
      ev.entryKey = j.at("key").get<std::string>();
      ev.displayName = j.value("name", "");
      ev.publisher = j.value("publisher", "");
      ev.recorded = j.value("recorded", "");
      ev.installFolderWindows = j.value("install_folder_windows", "");
      ev.installFolder = j.value("install_folder", "");
      ev.files = j.value("files", std::vector<std::string>{});
      ev.shortcuts = j.value("shortcuts", std::vector<std::string>{});
      ev.shortcutsWindows = j.value("shortcuts_windows", std::vector<std::string>{});
      if (ev.shortcuts.size() != ev.shortcutsWindows.size()) return false;
      ev.desktopFiles = j.value("desktop_files", std::vector<std::string>{});
      for (const auto& p : j.value("registry", nlohmann::json::array()))
        ev.registry.push_back(
            {p.at("root").get<std::string>() == "HKCU" ? kHkeyCurrentUser : kHkeyLocalMachine,
             p.at("key").get<std::string>(), p.value("value", ""), p.value("whole_key", false),
             p.value("why", ""), p.value("why_polish", "")});
      records.push_back(std::move(ev));
    }
  } catch (const nlohmann::json::exception&) {
    return false;
  }
  return true;
}

namespace {

// The records' files in `folder`, newest first: the names sort by their time, then their number.
std::vector<std::string> EvidenceFiles(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("evidence-", 0) == 0 && name.size() > 5 &&
        name.compare(name.size() - 5, 5, ".json") == 0)
      files.push_back(it->path().string());
  }
  // "evidence-YYYYMMDD-HHMMSS-N.json": by the time, then by N.
  const auto order = [](const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const std::string stamp = name.substr(9, 15);
    return std::pair{stamp, std::atoll(name.c_str() + std::min<std::size_t>(25, name.size()))};
  };
  std::sort(files.begin(), files.end(),
            [&](const std::string& a, const std::string& b) { return order(a) > order(b); });
  return files;
}

// The records kept: those of the last runs.
constexpr std::size_t kKeptRecords = 100;

}  // namespace

bool SaveEvidence(const std::string& folder, const std::vector<Evidence>& records,
                  std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  char stamp[32];
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
  // One file per run: the time, then a number that makes the name new.
  for (int n = 0; n < 1000; ++n) {
    const std::string file = folder + "/evidence-" + stamp + "-" + std::to_string(n) + ".json";
    if (Exists(file)) continue;
    if (!WriteFileAtomic(file, EvidenceToJson(records), error)) return false;
    const auto all = EvidenceFiles(folder);
    for (std::size_t old = kKeptRecords; old < all.size(); ++old) fs::remove(all[old], ec);
    return true;
  }
  error = "too many records in " + folder;
  return false;
}

std::optional<Evidence> LatestEvidence(const std::string& folder, const std::string& prefix,
                                       const std::string& entryKey) {
  const std::vector<std::string> files = EvidenceFiles(folder);
  const std::string wantedPrefix = HostPlace(prefix);
  for (const auto& file : files) {
    std::string text, error;
    if (!ReadWholeFile(file, text, error, 64u << 20)) continue;
    std::vector<Evidence> records;
    if (!EvidenceFromJson(text, records)) continue;
    for (auto& ev : records)
      if (HostPlace(ev.prefix) == wantedPrefix && AsciiEqualNoCase(ev.entryKey, entryKey))
        return std::move(ev);
  }
  return std::nullopt;
}

std::vector<Leftover> OrphanedDesktopEntries(const XdgFolders& xdg,
                                             std::vector<std::string>& gonePrefixes) {
  LeftoverScope scope;
  scope.xdg = xdg;
  std::vector<Leftover> items;
  if (xdg.home.empty()) return items;
  DesktopScan desktop;
  const std::vector<std::string> files = DesktopFilesOf(xdg);
  for (const std::string& file : files) {
    const auto entry = ReadEntry(file, desktop);
    // A prefix that is gone for good (an entry without one is not judged).
    if (!entry || entry->prefix.empty() || !PrefixIsGone(entry->prefix)) continue;
    desktop.ours.push_back(file);
    if (std::find(gonePrefixes.begin(), gonePrefixes.end(), entry->prefix) == gonePrefixes.end())
      gonePrefixes.push_back(entry->prefix);
  }
  NoteIconsInUse(desktop);
  const PlaceGuard guard(scope);
  FileItems collected(guard, {});
  AddDesktopItems(
      xdg, desktop,
      [&](LeftoverKind kind, Confidence confidence, const std::string& path, const char* why,
          const char* whyPolish) { collected.Add(items, kind, confidence, path, why, whyPolish); },
      "Wine's menu entry of a prefix that is gone",
      "wpis menu Wine z prefiksu, którego już nie ma");
  for (auto& item : items)
    for (const auto& e : desktop.all)
      if (item.kind == LeftoverKind::DesktopFile && e.file == item.path) {
        item.reason += ": " + e.prefix;
        item.reasonPolish += ": " + e.prefix;
      }
  return items;
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
      return polish ? "folder" : "folder";
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
