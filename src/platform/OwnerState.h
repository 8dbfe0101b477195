// Whether what uses a Wine prefix is still there, and whether its saves are in a cloud.
#pragma once

namespace pgl {

// Present: a Steam game's manifest, a Lutris or Heroic game still installed, a bottle. Removed:
// the game is gone and its prefix stayed. None: a plain prefix of the user's. Unknown: what
// would tell could not be read whole (a Steam library on a disk that is not mounted, a list of
// games or shortcuts that could not be read), so the game may still be there.
enum class OwnerState { None, Present, Removed, Unknown };

inline const char* OwnerStateName(OwnerState state) {
  switch (state) {
    case OwnerState::Present:
      return "present";
    case OwnerState::Removed:
      return "removed";
    case OwnerState::Unknown:
      return "unknown";
    case OwnerState::None:
      break;
  }
  return "none";
}

// Whether Steam keeps a game's saves in its cloud: Yes when a Steam user's
// userdata/<user>/<appid>/remotecache.vdf lists files; No when Steam's userdata was read whole
// and lists none for the game; Unknown when it could not be (no user folder, a file that could
// not be read); None for a prefix that is no Steam game's.
enum class CloudSaves { None, Yes, No, Unknown };

// "yes", "no", "unknown"; nullptr for None.
inline const char* CloudSavesName(CloudSaves state) {
  switch (state) {
    case CloudSaves::Yes:
      return "yes";
    case CloudSaves::No:
      return "no";
    case CloudSaves::Unknown:
      return "unknown";
    case CloudSaves::None:
      break;
  }
  return nullptr;
}

}  // namespace pgl
