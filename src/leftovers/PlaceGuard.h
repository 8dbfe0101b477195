// What leftovers may never touch, judged on the real place. A host path is compared with the
// protected places by the file it names (device and inode), never by its spelling, so that
// "C:\windows.", "C:\users\Public\..\..\windows", a case-insensitive file system or a link in the
// prefix all come to the same answer.
#pragma once

#include <set>
#include <string>

#include "lang/Language.h"
#include "leftovers/Leftovers.h"
#include "util/FileIO.h"

namespace pgl {

// A path with its folders resolved (links, "." and "..") and its last part as it is: a link is
// the link itself, never what it leads to.
std::string HostPlace(const std::string& path);

// Why a place may not be offered; nothing (false) when it may.
struct Refusal {
  Translations why{};
  explicit operator bool() const { return why.texts[0] != nullptr; }
};

class PlaceGuard {
 public:
  explicit PlaceGuard(const LeftoverScope& scope);

  // Why `path` (as HostPlace gives it) may not be offered or removed as an item of `kind`.
  // Inside the prefix's drive C: anything but a protected place may be; in the desktop's
  // folders only the files Wine's menu builder makes and, on the desktop, the shortcuts (.lnk)
  // that Windows programs put there; nowhere else anything.
  Refusal Judge(const std::string& path, LeftoverKind kind) const;
  // A system, shell or profile folder of the prefix, a drive, the home or one of its desktop
  // folders, a folder holding any of them, or anything inside Wine's own folders (C:\windows,
  // dosdevices); also a path that is not there, which cannot be judged.
  bool IsProtected(const std::string& path) const;
  // The folder a removal walks down from to reach `path`: the prefix's drive C: or the desktop
  // folder that holds it; empty when none does.
  std::string RootOf(const std::string& path) const;
  // The prefix's drive C:, resolved; empty where it lies outside the prefix.
  const std::string& Drive() const { return drive_; }
  // The desktop's own folder, resolved; empty where it is the home or holds it.
  const std::string& Desktop() const { return desktop_; }

 private:
  // The place, what it leads to, and every folder holding either.
  void Protect(const std::string& path);
  // The same, and everything inside it.
  void ProtectTree(const std::string& path);
  void ProtectPrefix(const LeftoverScope& scope);
  void ProtectDesktop(const XdgFolders& xdg);

  std::set<FileId> holders_, trees_;
  std::string drive_;                            // the prefix's drive C:, resolved
  std::string dataHome_, configHome_, desktop_;  // only those that are not the home
};

}  // namespace pgl
