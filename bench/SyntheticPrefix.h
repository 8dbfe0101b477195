// Prefixes with many installed programs for the benchmarks: Uninstall entries with a dozen
// values, ARPCache usage records, and the program files on disk.
#pragma once

#include <string>

namespace pgl::bench {

// Adds `count` programs to the prefix at `prefixDir`: entries in its system.reg (which must
// exist, or a minimal one is made) and files under drive_c. No wineserver may run for it.
void AddPrograms(const std::string& prefixDir, int count);

}  // namespace pgl::bench
