// Every Wine prefix of the user: WINEPREFIX, ~/.wine, and those that the common front ends
// keep (Steam's Proton, Bottles, Lutris, Heroic, PlayOnLinux; native and Flatpak), each with
// the Wine that made it. Only the user's home and the library folders that Steam names are
// read; front-end files that are missing, unreadable or malformed are skipped with a note.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lang/Language.h"
#include "platform/OwnerState.h"

namespace pgl {

// The Wine that runs programs in a prefix, as its front end runs them.
struct PrefixWine {
  // The wine program: "wine" (the system's, found on PATH) or a path to the front end's own.
  std::string program = "wine";
  // False when the front end names a Wine that is not there: then nothing may be run in the
  // prefix (another Wine could upgrade or break it); `why` says what is missing.
  bool known = true;
  LocalText why;
  // Variables the front end sets for it, besides WINEPREFIX.
  std::vector<std::pair<std::string, std::string>> environment;
};

struct FoundPrefix {
  std::string name;    // as a person knows it: the game's or bottle's name, "~/.wine"
  std::string path;    // the folder that holds system.reg
  std::string source;  // "WINEPREFIX", "Wine", "Steam", "Steam (Flatpak)", "Bottles", ...
  std::string arch;    // "win64" or "win32"
  PrefixWine wine;
  // What removing it moves: `path`, or for a Proton prefix the whole compatdata/<appid>.
  std::string folder = {};
  // The game, bottle or program set that uses it; empty for a plain prefix.
  std::string owner = {};
  OwnerState ownerState = OwnerState::None;
  std::string shaderCache = {};  // a Steam game's shader cache (ShaderCacheOf)
  CloudSaves cloudSaves = CloudSaves::None;
};

struct PrefixSearch {
  std::vector<FoundPrefix> prefixes;  // each folder once
  std::vector<std::string> notes;     // front-end files that were skipped, and why
};

// `winePrefix` is WINEPREFIX's value (empty when unset).
PrefixSearch FindWinePrefixes(const std::string& home, const std::string& winePrefix);

// A path under the home as "~/..." (how people name their prefixes).
std::string ShortPath(const std::string& path, const std::string& home);

// The prefix's architecture from its system.reg ("#arch=win32"); "win64" otherwise (Wine's own
// default), and "unknown" where the file is not a Wine registry file.
std::string PrefixArch(const std::string& prefixDir);

}  // namespace pgl
