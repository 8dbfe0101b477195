// Prefixes with many installed programs for the benchmarks: Uninstall entries with a dozen
// values, ARPCache usage records, and the program files on disk.
#pragma once

#include <string>

namespace pgl::bench {

// Adds `count` programs to the prefix at `prefixDir`, spread evenly over the three places
// (64-bit and 32-bit entries in system.reg, per-user ones in user.reg; a minimal file is made
// where one is missing), and their files under drive_c. No wineserver may run for it.
// The varied shape is closer to a real machine: four in five programs are 64-bit and one in
// five 32-bit, none per-user, and only every third one has a usage record.
enum class Shape { Even, Varied };
void AddPrograms(const std::string& prefixDir, int count, Shape shape = Shape::Even);

}  // namespace pgl::bench
