#include "leftovers/DesktopItems.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "leftovers/LeftoverPaths.h"
#include "util/FileIO.h"

namespace fs = std::filesystem;

namespace pgl::leftovers {

void FileItems::Add(std::vector<Leftover>& items, LeftoverKind kind, Confidence confidence,
                    const std::string& path, const LocalText& why) {
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
  item.size = SizeOf(p);
  item.id = *id;
  items.push_back(std::move(item));
}

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

std::optional<DesktopEntry> ReadEntry(const std::string& file, DesktopScan& scan) {
  auto entry = ReadDesktopEntry(file);
  if (entry)
    scan.all.push_back(*entry);
  else if (std::string icon = DesktopIconOf(file); !icon.empty())
    scan.iconsOfOthers.push_back(std::move(icon));
  return entry;
}

void NoteIconsInUse(DesktopScan& scan) {
  const std::set<std::string> ours(scan.ours.begin(), scan.ours.end());
  for (const DesktopEntry& e : scan.all)
    if (!e.icon.empty() && !ours.count(e.file)) scan.iconsInUse.insert(e.icon);
  scan.iconsInUse.insert(scan.iconsOfOthers.begin(), scan.iconsOfOthers.end());
}

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

void AddDesktopItems(const XdgFolders& xdg, const DesktopScan& desktop, const AddFile& addFile,
                     const LocalText& why) {
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
    addFile(LeftoverKind::DesktopFile, Confidence::Sure, file, why);
    for (const auto& e : desktop.all)
      if (e.file == file && !e.icon.empty() && e.icon.find('/') == std::string::npos)
        icons.insert(e.icon);
    const std::string name = fs::path(file).filename().string();
    if (fs::path(file).parent_path().string() == apps && name.rfind("wine-extension-", 0) == 0)
      addFile(LeftoverKind::MenuFile, Confidence::Sure,
              xdg.dataHome + "/mime/packages/x-wine-extension-" +
                  name.substr(15, name.size() - 23) + ".xml",
              WhyText(LeftoverWhy::AssociationType));
    if (!UnixInside(file, appsWine)) continue;
    std::string rel = file.substr(appsWine.size() + 1, file.size() - appsWine.size() - 9);
    std::string menuName = rel;
    std::replace(menuName.begin(), menuName.end(), '/', '-');
    addFile(LeftoverKind::MenuFile, Confidence::Sure,
            xdg.configHome + "/menus/applications-merged/wine-" + menuName + ".menu",
            WhyText(LeftoverWhy::MenuFile));
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
            WhyText(LeftoverWhy::MenuFolder));
    addFile(LeftoverKind::Folder, Confidence::Sure, dir, WhyText(LeftoverWhy::MenuFolder));
  }
  for (const auto& icon : icons) {
    if (desktop.iconsInUse.count(icon)) continue;
    const std::string hicolor = xdg.dataHome + "/icons/hicolor";
    for (const auto& [f, size] : Children(hicolor))
      for (const char* ext : {".png", ".xpm", ".svg"})
        addFile(LeftoverKind::Icon, Confidence::Sure, hicolor + "/" + size + "/apps/" + icon + ext,
                WhyText(LeftoverWhy::MenuIcon));
  }
}

}  // namespace pgl::leftovers

namespace pgl {

using namespace leftovers;

std::vector<Leftover> OrphanedDesktopEntries(const XdgFolders& xdg,
                                             std::vector<std::string>& gonePrefixes,
                                             const std::vector<std::string>& only) {
  LeftoverScope scope;
  scope.xdg = xdg;
  std::vector<Leftover> items;
  if (xdg.home.empty()) return items;
  DesktopScan desktop;
  const std::vector<std::string> files = DesktopFilesOf(xdg);
  for (const std::string& file : files) {
    const auto entry = ReadEntry(file, desktop);
    // A prefix that is gone for good (an entry without one is not judged).
    if (!entry || entry->prefix.empty()) continue;
    if (!only.empty() && std::find(only.begin(), only.end(), entry->prefix) == only.end()) continue;
    if (!PrefixIsGone(entry->prefix)) continue;
    desktop.ours.push_back(file);
    if (std::find(gonePrefixes.begin(), gonePrefixes.end(), entry->prefix) == gonePrefixes.end())
      gonePrefixes.push_back(entry->prefix);
  }
  NoteIconsInUse(desktop);
  const PlaceGuard guard(scope);
  FileItems collected(guard, {});
  AddDesktopItems(
      xdg, desktop,
      [&](LeftoverKind kind, Confidence confidence, const std::string& path, const LocalText& why) {
        collected.Add(items, kind, confidence, path, why);
      },
      WhyText(LeftoverWhy::GonePrefixEntry));
  for (auto& item : items)
    for (const auto& e : desktop.all)
      if (item.kind == LeftoverKind::DesktopFile && e.file == item.path) {
        for (std::string& text : item.reason.texts) text += ": " + e.prefix;
      }
  return items;
}

}  // namespace pgl
