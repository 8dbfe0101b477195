// Prefixes with many installed programs for the benchmarks: Uninstall entries with a dozen
// values, ARPCache usage records, and the program files on disk.
#pragma once

#include <string>

namespace pgl::bench {

// Adds `count` programs to the prefix at `prefixDir`, spread evenly over the three places
// (64-bit and 32-bit entries in system.reg, per-user ones in user.reg; a minimal file is made
// where one is missing), and their files under drive_c. No wineserver may run for it.
void AddPrograms(const std::string& prefixDir, int count);

}  // namespace pgl::bench
