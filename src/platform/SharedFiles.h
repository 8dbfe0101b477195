// Files that several prefixes hold in identical copies (the same DLLs, fonts and runtimes in
// each), and sharing their contents through the file system where it can: the kernel compares
// the bytes itself and shares them only where they are equal, and a later write to either
// file gets a copy of its own. Never hard links (a file one prefix changes in place would
// change in every prefix) and never a copy and rename (the files keep their inodes).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pgl {

// Files of the same size and content: the first is kept, each other one is a copy of it.
struct DuplicateSet {
  std::uint64_t size = 0;
  std::vector<std::string> files;
  std::vector<std::size_t> prefixOf;  // for each file, its prefix's index
};

struct DuplicatesOfPrefix {
  std::string path;
  std::uint64_t duplicateBytes = 0;  // content of this prefix's copies of files held before
  std::uint64_t sharedBytes = 0;     // the part of it already shared with what it copies
};

struct DuplicateReport {
  std::vector<DuplicatesOfPrefix> prefixes;
  std::uint64_t totalDuplicateBytes = 0;
  std::uint64_t totalSharedBytes = 0;
  std::vector<DuplicateSet> sets;
  std::vector<std::string> unreadable;  // files and folders that could not be read
};

// The copies among the regular files of the prefixes (in their order: a file's first copy is
// kept in the earliest prefix). Files under drive_c/users (the user's own), the registry files
// and anything that is not a regular file (links, devices) stay out; hard links to one file
// count once. Files of a size are read only where another file has that size; one hash each
// is kept, and files are called equal only after their bytes are compared.
DuplicateReport FindDuplicates(const std::vector<std::string>& prefixDirs);

// Why the file systems of the prefixes cannot share contents (ext4, tmpfs; prefixes on
// several file systems): empty where they can be tried.
std::string WhySharingIsImpossible(const std::vector<std::string>& prefixDirs);

struct SharingResult {
  std::uint64_t sharedBytes = 0;  // bytes the file system now shares
  int filesShared = 0;
  bool unsupported = false;           // the file system refused sharing: nothing was changed
  std::vector<std::string> failures;  // "path: why"
};

// Shares each copy's content with the file it copies, range by range (an interrupted run leaves
// every file whole). The files keep their content, modes, times and inodes. `progress` hears
// of each set done (sets done, sets in all).
SharingResult ShareDuplicates(const std::vector<DuplicateSet>& sets,
                              const std::function<void(std::size_t, std::size_t)>& progress);

}  // namespace pgl
