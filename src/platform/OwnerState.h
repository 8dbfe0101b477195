// Whether what uses a Wine prefix is still there.
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

}  // namespace pgl
