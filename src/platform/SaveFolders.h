// Which files of a Wine prefix are the user's saves: what programs wrote in its profiles.
#pragma once

#include <string>

namespace pgl {

// The save folder a file belongs to, from its path relative to a prefix ("drive_c/users/ann/
// AppData/Roaming/Game/save.dat" gives "drive_c/users/ann/AppData/Roaming/Game"); empty when
// the file is no save.
std::string SaveFolderOf(const std::string& relativePath);

// Whether a folder of the prefix (its path relative to the prefix) holds saves or folders that
// may: drive_c, drive_c/users, a profile, its AppData, and every folder below a save folder's
// root that is not Wine's own.
bool MayHoldSaves(const std::string& relativeDir);

}  // namespace pgl
