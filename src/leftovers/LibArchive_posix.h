// libarchive, loaded the first time a saves archive is made: the programs start without it and
// without the libraries it brings (compressors, libxml2, ICU's shared copy), which most runs
// never use. Call Load() first; the calls below are set once it answers true.
#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <string>

// The libarchive calls the program makes.
#define PGL_LIBARCHIVE_CALLS(X)            \
  X(archive_entry_copy_pathname)           \
  X(archive_entry_copy_sourcepath)         \
  X(archive_entry_filetype)                \
  X(archive_entry_free)                    \
  X(archive_entry_new)                     \
  X(archive_entry_pathname)                \
  X(archive_entry_set_filetype)            \
  X(archive_entry_set_gid)                 \
  X(archive_entry_set_mtime)               \
  X(archive_entry_set_perm)                \
  X(archive_entry_set_size)                \
  X(archive_entry_set_uid)                 \
  X(archive_entry_size)                    \
  X(archive_entry_sparse_next)             \
  X(archive_entry_sparse_reset)            \
  X(archive_error_string)                  \
  X(archive_read_data)                     \
  X(archive_read_disk_entry_from_file)     \
  X(archive_read_disk_new)                 \
  X(archive_read_disk_set_behavior)        \
  X(archive_read_free)                     \
  X(archive_read_new)                      \
  X(archive_read_next_header)              \
  X(archive_read_open_filename)            \
  X(archive_read_support_filter_all)       \
  X(archive_read_support_format_tar)       \
  X(archive_write_add_filter_xz)           \
  X(archive_write_add_filter_zstd)         \
  X(archive_write_close)                   \
  X(archive_write_data)                    \
  X(archive_write_free)                    \
  X(archive_write_header)                  \
  X(archive_write_new)                     \
  X(archive_write_open_fd)                 \
  X(archive_write_set_bytes_in_last_block) \
  X(archive_write_set_format_pax)

namespace pgl::la {

// Loads libarchive once (any thread may ask); false, with what to install in error, where it
// cannot be loaded or lacks a call.
bool Load(std::string& error);

#define PGL_LIBARCHIVE_DECLARE(name) extern decltype(&::name) name;
PGL_LIBARCHIVE_CALLS(PGL_LIBARCHIVE_DECLARE)
#undef PGL_LIBARCHIVE_DECLARE

}  // namespace pgl::la
