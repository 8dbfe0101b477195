// Whole-file reads and all-or-nothing writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pgl {

// A file being read: fills up to `size` bytes at `into` and answers how many, 0 at the end of
// the file, or -1 once it cannot read on.
using FileSource = std::function<std::ptrdiff_t(char* into, std::size_t size)>;

// Reads a regular file a piece at a time, with the checks ReadWholeFile makes: `read` gets the
// file's size as opened and its source. False with a message in `error` when the file cannot
// be opened, or when it could not be read to its end or grew past `maxBytes` (the source then
// answered -1).
bool ReadFileInPieces(const std::string& path, std::string& error, std::size_t maxBytes,
                      const std::function<void(std::uint64_t size, const FileSource&)>& read);

// Reads the whole of a regular file (a FIFO, a device or a folder is refused before it is
// read), of at most `maxBytes`; false with a message in `error`.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                   std::size_t maxBytes = static_cast<std::size_t>(1) << 31);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and renames it over
// `path`, so that the file is either the old one or the new one, never a mix. As `cp` does:
// a symbolic link is followed and its target replaced; a device or FIFO is written into, not
// replaced; a file the user may not write is refused. A replaced file keeps its owner, group
// and mode; a new one gets the mode the umask allows. Temporary files that killed saves left
// beside the target are removed. False with a message in `error`; the target is then
// untouched.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error);
// The same for the file at `requested`, with the content written by `write` into the open file
// (all of it, or false with errno set): for contents too large to hold whole.
bool WriteFileAtomicWith(const std::string& requested, const std::function<bool(int fd)>& write,
                         std::string& error);

// Writes all of `bytes` to an open file, going on after interrupted or partial writes.
bool WriteAll(int fd, std::string_view bytes);

// Appends `bytes` to the file, creating it; all of it or nothing (a partial append is taken
// back). Anything but a regular file (a FIFO, a device, a link) is refused.
bool AppendToFile(const std::string& path, std::string_view bytes, std::string& error);

// What is at a path, without opening it: nothing, a regular file (with its size), or anything
// else (a folder, a FIFO, a device). Links are followed.
struct PathStatus {
  enum class Kind { Missing, RegularFile, Other } kind = Kind::Missing;
  std::uint64_t size = 0;
};
PathStatus StatusOf(const std::string& path);

// Which file a path names, whatever it is spelled: its device and inode (on Windows its volume
// and file index). Two paths name the same file exactly when their identities are equal.
struct FileId {
  std::uint64_t device = 0, inode = 0;
  auto operator<=>(const FileId&) const = default;
};
// The identity of what `path` names, of the link itself where it is one and `followLinks` is
// false; nothing when there is nothing there.
std::optional<FileId> IdentityOf(const std::string& path, bool followLinks);

// Up to `maxBytes` from the start of a regular file; empty for anything else.
std::string ReadFileStart(const std::string& path, std::size_t maxBytes);

using FileWriter = std::function<bool(const std::string&, std::string_view, std::string&)>;

}  // namespace pgl
