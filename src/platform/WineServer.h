// Whether a wineserver is running for a prefix, found without talking to it.
#pragma once

#include <string>

namespace pgl {

// A running server holds an fcntl write lock on the "lock" file of its directory:
// /tmp/<name>/server-<dev>-<inode> where the prefix's "wineserver" file names <name>
// (Debian), or /tmp/.wine-<uid>/server-<dev>-<inode> (upstream Wine).
bool IsWineServerRunning(const std::string& prefixDir);

// The candidate server directories for a prefix (for tests and messages).
std::string WineServerDirectory(const std::string& prefixDir);

}  // namespace pgl
