// Wine's menu entries and desktop shortcuts as leftovers: which of them are a program's (or a
// deleted prefix's), and the menu files, folders, file types and icons that go with them.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "leftovers/DesktopEntries.h"
#include "leftovers/Leftovers.h"
#include "leftovers/PlaceGuard.h"
#include "platform/AppFiles.h"

namespace pgl::leftovers {

// Every path here is resolved: the files are found below resolved folders without following
// links.
struct DesktopScan {
  std::vector<std::string> ours;
  std::vector<DesktopEntry> all;           // every entry Wine made, ours included
  std::vector<std::string> iconsOfOthers;  // named by entries that are not Wine's
  std::set<std::string> iconsInUse;        // named by an entry that stays, Wine's or not
};

using AddFile = std::function<void(LeftoverKind, Confidence, const std::string&, const LocalText&)>;

// Collects file items: each once, only where it exists and the guard lets it be offered, never
// inside (or holding) another program's folder.
struct FileItems {
  FileItems(const PlaceGuard& placeGuard, std::vector<std::string> othersLocal)
      : guard(placeGuard), others(std::move(othersLocal)) {}

  void Add(std::vector<Leftover>& items, LeftoverKind kind, Confidence confidence,
           const std::string& path, const LocalText& why);

  const PlaceGuard& guard;
  std::vector<std::string> others;
  std::set<std::string> seen;
};

// The .desktop files of the user's menus and desktop, Wine's or not.
std::vector<std::string> DesktopFilesOf(const XdgFolders& xdg);

// Reads the file as Wine's entry into `scan.all`, or notes the icon of another's.
std::optional<DesktopEntry> ReadEntry(const std::string& file, DesktopScan& scan);

// Marks the icons the entries that stay name, once `scan.ours` is known.
void NoteIconsInUse(DesktopScan& scan);

// The .desktop files Wine made for the program: their Exec names this prefix and one of its
// shortcuts, a path inside its folder, or one of its file types; or they start in its folder.
DesktopScan ScanDesktop(const LeftoverScope& scope, const Evidence& ev,
                        const std::vector<std::string>& progIds);

std::vector<std::string> ProgIdsOf(const Evidence& ev);

// What goes with Wine's .desktop files `desktop.ours`: the files themselves, their menu files,
// the menu folders and .directory files left with nothing else, their file types' MIME
// packages, and the icons no other entry uses.
void AddDesktopItems(const XdgFolders& xdg, const DesktopScan& desktop, const AddFile& addFile,
                     const LocalText& why);

}  // namespace pgl::leftovers
