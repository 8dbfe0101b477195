// The desktop's trash, where files and folders moved can be put back by the file manager, and its
// menus.
#pragma once

#include <string>

namespace pgl {

// Moves the file or folder (a link is moved as the link) to the trash of the file system it is
// on: the home trash for the home's file system, else that file system's own trash folder. On
// Linux it follows the freedesktop.org layout (files/ and info/NAME.trashinfo). False, with the
// reason, when it could not be moved; the file is then where it was.
bool MoveToTrash(const std::string& path, std::string& error);

// After menu entries changed below `dataHome`: the desktop's caches are rebuilt where its tools
// exist (update-desktop-database, xdg-desktop-menu); nothing happens where they do not.
void RefreshDesktopMenus(const std::string& dataHome);

}  // namespace pgl
