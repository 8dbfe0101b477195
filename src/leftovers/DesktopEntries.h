// The Linux desktop's side of a Wine program: the .desktop files, menus and icons Wine makes for
// its shortcuts, found under the user's XDG folders.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pgl {

// The user's XDG folders as Wine's menu builder uses them.
struct XdgFolders {
  std::string home;
  std::string dataHome;    // $XDG_DATA_HOME, else ~/.local/share
  std::string configHome;  // $XDG_CONFIG_HOME, else ~/.config
  std::string desktop;     // XDG_DESKTOP_DIR of user-dirs.dirs, else ~/Desktop, else the home
  std::string documents;   // XDG_DOCUMENTS_DIR of user-dirs.dirs, else ~/Documents
};
XdgFolders UserXdgFolders();

// What a .desktop file Wine made starts.
struct DesktopEntry {
  std::string file;      // its own path
  std::string prefix;    // the WINEPREFIX its Exec line names; empty when none
  std::string winePath;  // the Windows path Wine is given (a .lnk or a program); may be empty
  std::string progId;    // for a file association: "start /ProgIDOpen ID"
  std::string workDir;   // its Path= line
  std::string icon;      // its Icon= name
};

// Reads a .desktop file (at most 64 KiB, a regular file); nothing when it is not one Wine made
// (no Exec line running Wine's own launcher: wine, wine64, wine-stable, ...).
std::optional<DesktopEntry> ReadDesktopEntry(const std::string& file);
// The Icon= name of any .desktop file, Wine's or not; empty when it names none.
std::string DesktopIconOf(const std::string& file);

// Whether the prefix folder a menu entry names is gone for good: not there, while the place it
// was on is. A folder on removable or network media (/media, /run/media, /mnt), below a mount
// point of `fstab` that `mountinfo` does not list as mounted, or whose nearest remaining folder
// is the root or a folder right below it (where a disk is usually mounted) is unknown, never
// gone. The texts are those of /etc/fstab and /proc/self/mountinfo.
bool PrefixIsGone(const std::string& prefix, const std::string& fstab,
                  const std::string& mountinfo);
bool PrefixIsGone(const std::string& prefix);
// The Exec line's words, with the desktop file's escapes and the Exec quoting undone.
std::vector<std::string> ExecWords(const std::string& exec);

// The .desktop files below `folder` (to `depth` folders down), links not followed.
std::vector<std::string> DesktopFilesIn(const std::string& folder, int depth);

}  // namespace pgl
