// The saves of a prefix kept before the prefix goes: a tar archive (POSIX pax format, which
// `tar -tf` and `tar -xf` read) of the files below its save folders, read back and checked
// before anything is removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pgl {

struct SavesArchive {
  std::string file;  // the archive written
  std::size_t files = 0;
  std::uint64_t bytes = 0;  // of the files' contents
};

// Writes the regular files below `saveFolders` (paths relative to `prefixDir`; links are not
// followed, other kinds are left out) into a new archive in `intoDir` (made when missing), named
// after `name`: "<name> saves <date> <time>.tar". Every entry's path is "<name>/<path in the
// prefix>". The archive is written whole under a temporary name, read back (every header's
// checksum, every path, size and content against what was written) and only then given its
// name. False with the reason in `error`; nothing is left behind then.
bool WriteSavesArchive(const std::string& prefixDir, const std::vector<std::string>& saveFolders,
                       const std::string& name, const std::string& intoDir, SavesArchive& archive,
                       std::string& error);

// A name fit for a file and an archive's top folder: the characters a file name may not hold
// (slashes, control characters) become "_"; empty, "." and ".." become "prefix".
std::string ArchiveName(const std::string& name);

}  // namespace pgl
