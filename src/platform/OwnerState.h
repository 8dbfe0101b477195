// Whether what uses a Wine prefix is still there.
#pragma once

namespace pgl {

// Present: a Steam game's manifest, a Lutris or Heroic game still installed, a bottle. Removed:
// the game is gone and its prefix stayed. None: a plain prefix of the user's.
enum class OwnerState { None, Present, Removed };

inline const char* OwnerStateName(OwnerState state) {
  return state == OwnerState::Present   ? "present"
         : state == OwnerState::Removed ? "removed"
                                        : "none";
}

}  // namespace pgl
