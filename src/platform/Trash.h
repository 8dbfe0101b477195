// The desktop's trash, where files and folders moved can be put back by the file manager, and its
// menus.
#pragma once

#include <string>

#include "util/FileIO.h"

namespace pgl {

// Moves the file or folder (a link is moved as the link) to the trash of the file system it is
// on: the home trash for the home's file system, else that file system's own trash folder. On
// Linux it follows the freedesktop.org layout (files/ and info/NAME.trashinfo). False, with the
// reason, when it could not be moved; the file is then where it was.
bool MoveToTrash(const std::string& path, std::string& error);

// The same for an item found earlier at `path`, strictly below `root` (both with their folders
// resolved): every folder on the way from `root` is entered without following a link, and the
// item is moved from the folder so reached, only while it is still the file it was
// (`expected`). A link put on the way, or an item swapped since, is not moved.
bool MoveToTrashBeneath(const std::string& root, const std::string& path, const FileId& expected,
                        std::string& error);

// After menu entries changed below `dataHome`: the desktop's caches are rebuilt where its tools
// exist (update-desktop-database, xdg-desktop-menu); nothing happens where they do not.
void RefreshDesktopMenus(const std::string& dataHome);

}  // namespace pgl
