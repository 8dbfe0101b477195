// What Steam keeps of a game beside its Proton prefix: the shader cache in the same library,
// and whether its saves are in Steam's cloud.
#pragma once

#include <string>

#include "platform/OwnerState.h"

namespace pgl {

// The game's shader cache, `library`/steamapps/shadercache/`appid`, when something is there
// (a folder, or a link that removal refuses); empty otherwise and for Steam's own appid 0.
std::string ShaderCacheOf(const std::string& library, const std::string& appid);

// Whether the game's saves are in Steam's cloud, from each user's remotecache.vdf under the
// Steam installation `root`.
CloudSaves SteamCloudState(const std::string& root, const std::string& appid);

}  // namespace pgl
