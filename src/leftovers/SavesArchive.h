// The saves of a prefix kept before the prefix goes: a tar archive (POSIX pax format, compressed
// with zstd, which `tar -tf` and `tar -xf` read) of the files below its save folders, written
// and read back through libarchive and checked before anything is removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pgl {

struct SavesArchive {
  std::string file;  // the archive written
  std::size_t files = 0;
  std::uint64_t bytes = 0;  // of the files' contents, as the files are long (holes counted)
  std::string compression;  // "zstd", or "xz" where libarchive has no zstd
};

// A file the archive holds beside the saves, made in memory (registry.reg).
struct ArchiveExtra {
  std::string name;  // below the archive's top folder
  std::string bytes;
};

// Writes every save of the prefix as it is at this moment (the regular files that SaveFolderOf
// counts, found by walking the prefix's profiles without following any link) into a new archive
// in `intoDir` (made when missing), named after `name`: "<name> saves <date> <time>.tar.zst",
// never replacing a file that is there ("... (2).tar.zst" and so on). Every entry's path is
// "<name>/<path in the prefix>"; a sparse file stays sparse in the archive. The archive is
// written under a temporary name, read back (each member's path, size and SHA-256 against the
// file's) and only then given its name. Any doubt fails it: a save folder or file that cannot
// be read, a file that changes or stops being a regular file while it is read, a name the
// folder cannot take. False with the reason in `error`; nothing is left behind then. A prefix
// without saves gets no archive: true, with `archive.file` empty. The `extra` files go in after
// the saves, counted with them.
bool WriteSavesArchive(const std::string& prefixDir, const std::string& name,
                       const std::string& intoDir, SavesArchive& archive, std::string& error,
                       const std::vector<ArchiveExtra>& extra = {});

// A name fit for a file and an archive's top folder: the characters a file name may not hold
// (slashes, control characters of the C0 and C1 ranges, bytes that are not UTF-8) become "_";
// empty, "." and ".." become "prefix". At most `maxBytes` long, never cut inside a character.
std::string ArchiveName(const std::string& name, std::size_t maxBytes = 200);

}  // namespace pgl
