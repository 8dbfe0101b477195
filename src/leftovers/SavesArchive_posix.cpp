// The saves archive on Linux: libarchive (loaded here, when it is first needed) writes and
// reads it, nettle hashes the files.
#include "leftovers/SavesArchive.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <nettle/sha2.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "leftovers/LibArchive_posix.h"
#include "platform/SaveFolders.h"

namespace pgl {

namespace fs = std::filesystem;

namespace {

using Digest = std::array<std::uint8_t, SHA256_DIGEST_SIZE>;

constexpr std::size_t kBuffer = std::size_t{1} << 20;
// Folders deeper than this below the prefix are taken for an attack, not a game's saves.
constexpr int kMaxDepth = 128;
// How many names " (2)" ... are tried before the folder is taken to be full of archives.
constexpr int kMaxNameTries = 1000;

struct Member {
  std::string path;  // in the archive
  std::uint64_t size = 0;
  Digest digest{};
};

std::string ErrorText(int number) {
  return std::strerror(number);
}

// An open descriptor, closed when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class Sha256 {
 public:
  Sha256() { sha256_init(&ctx_); }
  void Add(const void* data, std::size_t size) {
    sha256_update(&ctx_, size, static_cast<const std::uint8_t*>(data));
  }
  Digest Done() {
    Digest d{};
    sha256_digest(&ctx_, d.size(), d.data());
    return d;
  }

 private:
  sha256_ctx ctx_{};
};

struct WriterDeleter {
  void operator()(archive* a) const { la::archive_write_free(a); }
};
struct ReaderDeleter {
  void operator()(archive* a) const { la::archive_read_free(a); }
};
struct EntryDeleter {
  void operator()(archive_entry* e) const { la::archive_entry_free(e); }
};
using Writer = std::unique_ptr<archive, WriterDeleter>;
using Reader = std::unique_ptr<archive, ReaderDeleter>;
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

// Names go into the archive as UTF-8, which libarchive converts from the locale's character
// set: for as long as this lives, this thread's is UTF-8, whatever locale the program runs in
// (a name that is no UTF-8 is then stored as the bytes it is).
class Utf8Names {
 public:
  Utf8Names() : utf8_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
    if (utf8_) old_ = ::uselocale(utf8_);
  }
  Utf8Names(const Utf8Names&) = delete;
  Utf8Names& operator=(const Utf8Names&) = delete;
  ~Utf8Names() {
    if (!utf8_) return;
    ::uselocale(old_);
    ::freelocale(utf8_);
  }

 private:
  locale_t utf8_;
  locale_t old_ = LC_GLOBAL_LOCALE;
};

std::string ArchiveError(archive* a) {
  const char* text = la::archive_error_string(a);
  return text ? text : "libarchive failed";
}

// Writes the saves of one prefix into an open archive, walking its folders from the prefix's
// own folder with descriptors that follow no link.
class SavesWriter {
 public:
  SavesWriter(std::string prefixDir, std::string top, archive* out)
      : prefixDir_(std::move(prefixDir)),
        top_(std::move(top)),
        out_(out),
        disk_(la::archive_read_disk_new()),
        buffer_(kBuffer),
        zeros_(kBuffer, 0) {
    // Only the contents, sizes, times and holes: no extended attributes, ACLs or flags.
    la::archive_read_disk_set_behavior(disk_.get(), ARCHIVE_READDISK_NO_XATTR |
                                                        ARCHIVE_READDISK_NO_ACL |
                                                        ARCHIVE_READDISK_NO_FFLAGS);
  }

  bool Run(std::vector<Member>& members, std::string& error) {
    Fd root(::open(prefixDir_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (root.get() < 0) return Fail(error, "cannot open " + prefixDir_ + ": " + ErrorText(errno));
    Fd drive(::openat(root.get(), "drive_c", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (drive.get() < 0) {
      if (errno == ENOENT) return true;  // no drive, no saves
      return Fail(error, "cannot read " + prefixDir_ + "/drive_c: " + ErrorText(errno));
    }
    return Folder(drive.release(), "drive_c", 0, members, error);
  }

  // A file made in memory, as a regular file of the archive's time.
  bool Memory(const ArchiveExtra& extra, std::vector<Member>& members, std::string& error) {
    Entry entry(la::archive_entry_new());
    const std::string path = top_ + "/" + extra.name;
    la::archive_entry_copy_pathname(entry.get(), path.c_str());
    la::archive_entry_set_filetype(entry.get(), AE_IFREG);
    la::archive_entry_set_perm(entry.get(), 0644);
    la::archive_entry_set_size(entry.get(), static_cast<la_int64_t>(extra.bytes.size()));
    la::archive_entry_set_mtime(entry.get(), ::time(nullptr), 0);
    if (la::archive_write_header(out_, entry.get()) < ARCHIVE_WARN ||
        la::archive_write_data(out_, extra.bytes.data(), extra.bytes.size()) !=
            static_cast<la_ssize_t>(extra.bytes.size()))
      return Fail(error, "cannot write the archive: " + ArchiveError(out_));
    Sha256 hash;
    hash.Add(extra.bytes.data(), extra.bytes.size());
    members.push_back({path, extra.bytes.size(), hash.Done()});
    return true;
  }

 private:
  static bool Fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
  }
  std::string Host(const std::string& relative) const { return prefixDir_ + "/" + relative; }

  // Takes the descriptor of an open folder.
  bool Folder(int fd, const std::string& relative, int depth, std::vector<Member>& members,
              std::string& error) {
    DIR* d = ::fdopendir(fd);
    if (!d) {
      ::close(fd);
      return Fail(error, "cannot read " + Host(relative) + ": " + ErrorText(errno));
    }
    std::unique_ptr<DIR, int (*)(DIR*)> dir(d, ::closedir);
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
      errno = 0;
    }
    if (errno != 0) return Fail(error, "cannot read " + Host(relative) + ": " + ErrorText(errno));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = relative + "/" + name;
      struct stat st {};
      if (::fstatat(::dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) continue;  // gone since the folder was read
        return Fail(error, "cannot read " + Host(path) + ": " + ErrorText(errno));
      }
      if (S_ISDIR(st.st_mode)) {
        if (!MayHoldSaves(path)) continue;
        if (depth >= kMaxDepth)
          return Fail(error, Host(path) + " lies deeper than " + std::to_string(kMaxDepth) +
                                 " folders: not archived");
        const int child =
            ::openat(::dirfd(d), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
          if (errno == ENOENT) continue;
          return Fail(error, "cannot read " + Host(path) + ": " + ErrorText(errno));
        }
        if (!Folder(child, path, depth + 1, members, error)) return false;
      } else if (S_ISREG(st.st_mode) && !SaveFolderOf(path).empty()) {
        if (!File(::dirfd(d), name, path, st, members, error)) return false;
      }
      // Links are not followed (Wine links a profile's Documents to the home's); FIFOs,
      // sockets and devices are no saves.
    }
    return true;
  }

  bool File(int dirFd, const std::string& name, const std::string& relative,
            const struct stat& seen, std::vector<Member>& members, std::string& error) {
    // Non-blocking: a FIFO swapped in since the folder was read must not hang the archive.
    Fd file(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
      if (errno == ENOENT) return true;
      return Fail(error, "cannot read " + Host(relative) + ": " + ErrorText(errno));
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0)
      return Fail(error, "cannot read " + Host(relative) + ": " + ErrorText(errno));
    if (!S_ISREG(st.st_mode) || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino)
      return Fail(error, Host(relative) + " changed while it was being archived");
    Entry entry(la::archive_entry_new());
    const std::string path = top_ + "/" + relative;
    la::archive_entry_copy_pathname(entry.get(), path.c_str());
    la::archive_entry_copy_sourcepath(entry.get(), Host(relative).c_str());
    // The file's size, times and mode, and where its holes are.
    if (la::archive_read_disk_entry_from_file(disk_.get(), entry.get(), file.get(), &st) <
        ARCHIVE_WARN)
      return Fail(error, "cannot read " + Host(relative) + ": " + ArchiveError(disk_.get()));
    la::archive_entry_set_uid(entry.get(), 0);
    la::archive_entry_set_gid(entry.get(), 0);
    // A warning is a name that is not UTF-8, stored as the bytes it is.
    if (la::archive_write_header(out_, entry.get()) < ARCHIVE_WARN)
      return Fail(error, "cannot write the archive: " + ArchiveError(out_));
    Member member{path, static_cast<std::uint64_t>(st.st_size), {}};
    Sha256 hash;
    // The data regions in order; what lies between them reads as zeros. A file with no holes is
    // one region.
    std::vector<std::pair<std::int64_t, std::int64_t>> regions;
    if (la::archive_entry_sparse_reset(entry.get()) > 0) {
      la_int64_t offset = 0, length = 0;
      while (la::archive_entry_sparse_next(entry.get(), &offset, &length) == ARCHIVE_OK)
        regions.emplace_back(offset, length);
    } else {
      regions.emplace_back(0, st.st_size);
    }
    std::int64_t at = 0;
    const auto put = [&](const char* data, std::size_t size) {
      hash.Add(data, size);
      return la::archive_write_data(out_, data, size) == static_cast<la_ssize_t>(size);
    };
    for (const auto& [offset, length] : regions) {
      for (; at < std::min<std::int64_t>(offset, st.st_size);) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(offset - at, static_cast<std::int64_t>(zeros_.size())));
        if (!put(zeros_.data(), piece))
          return Fail(error, "cannot write the archive: " + ArchiveError(out_));
        at += static_cast<std::int64_t>(piece);
      }
      const std::int64_t end = std::min<std::int64_t>(offset + length, st.st_size);
      while (at < end) {
        const auto piece = static_cast<std::size_t>(
            std::min<std::int64_t>(end - at, static_cast<std::int64_t>(buffer_.size())));
        const ssize_t got = ::pread(file.get(), buffer_.data(), piece, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Fail(error, "cannot read " + Host(relative) + ": " + ErrorText(errno));
        if (got == 0) return Fail(error, Host(relative) + " changed while it was being archived");
        if (!put(buffer_.data(), static_cast<std::size_t>(got)))
          return Fail(error, "cannot write the archive: " + ArchiveError(out_));
        at += got;
      }
    }
    while (at < st.st_size) {  // a hole at the end
      const auto piece = static_cast<std::size_t>(
          std::min<std::int64_t>(st.st_size - at, static_cast<std::int64_t>(zeros_.size())));
      if (!put(zeros_.data(), piece))
        return Fail(error, "cannot write the archive: " + ArchiveError(out_));
      at += static_cast<std::int64_t>(piece);
    }
    // A file that was written to while it was read is not the save it was.
    struct stat after {};
    if (::fstat(file.get(), &after) != 0 || after.st_size != st.st_size ||
        after.st_mtim.tv_sec != st.st_mtim.tv_sec || after.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
      return Fail(error, Host(relative) + " changed while it was being archived");
    member.digest = hash.Done();
    members.push_back(std::move(member));
    return true;
  }

  const std::string prefixDir_, top_;
  archive* out_;
  Reader disk_;
  std::vector<char> buffer_;
  const std::vector<char> zeros_;
};

// Reads the archive back with libarchive's reader: the same members in the same order, each of
// the same size and SHA-256, and nothing else.
bool Verify(const std::string& file, const std::vector<Member>& members, std::string& error) {
  const auto fail = [&](const std::string& why) {
    error = "the archive " + file + " does not read back as written: " + why;
    return false;
  };
  Reader in(la::archive_read_new());
  la::archive_read_support_filter_all(in.get());
  la::archive_read_support_format_tar(in.get());
  if (la::archive_read_open_filename(in.get(), file.c_str(), kBuffer) != ARCHIVE_OK)
    return fail(ArchiveError(in.get()));
  std::vector<char> buffer(kBuffer);
  for (const Member& m : members) {
    archive_entry* entry = nullptr;
    if (la::archive_read_next_header(in.get(), &entry) != ARCHIVE_OK)
      return fail("it ends before " + m.path + " (" + ArchiveError(in.get()) + ")");
    const char* path = la::archive_entry_pathname(entry);
    if (!path || path != m.path)
      return fail("found " + std::string(path ? path : "") + " where " + m.path + " was written");
    if (la::archive_entry_filetype(entry) != AE_IFREG ||
        static_cast<std::uint64_t>(la::archive_entry_size(entry)) != m.size)
      return fail(m.path + " is not the file written");
    Sha256 hash;
    std::uint64_t total = 0;
    for (;;) {
      const la_ssize_t got = la::archive_read_data(in.get(), buffer.data(), buffer.size());
      if (got < 0) return fail(m.path + ": " + ArchiveError(in.get()));
      if (got == 0) break;
      hash.Add(buffer.data(), static_cast<std::size_t>(got));
      total += static_cast<std::uint64_t>(got);
    }
    if (total != m.size || hash.Done() != m.digest) return fail(m.path + " differs");
  }
  archive_entry* extra = nullptr;
  if (la::archive_read_next_header(in.get(), &extra) != ARCHIVE_EOF)
    return fail("it holds more than was written");
  return true;
}

std::string Stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H-%M-%S", &local);
  return text;
}

// Gives the finished archive its name without ever replacing a file: the first of "<base>.tar.zst",
// "<base> (2).tar.zst" ... that is free. Any failure but "that name is taken" is a failure.
bool GiveName(const std::string& temporary, const std::string& base, const std::string& extension,
              std::string& file, std::string& error) {
  for (int n = 1; n <= kMaxNameTries; ++n) {
    file = base + (n == 1 ? "" : " (" + std::to_string(n) + ")") + extension;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, file.c_str(), RENAME_NOREPLACE) == 0)
      return true;
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
      error = "cannot name the archive " + file + ": " + ErrorText(errno);
      return false;
    }
    // A file system that cannot rename without replacing: the name is taken first by a file
    // made only where none is, then the archive renamed over that file of ours.
    const int placeholder = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (placeholder < 0 && errno == EEXIST) continue;
    if (placeholder < 0) {
      error = "cannot name the archive " + file + ": " + ErrorText(errno);
      return false;
    }
    ::close(placeholder);
    if (::rename(temporary.c_str(), file.c_str()) == 0) return true;
    error = "cannot name the archive " + file + ": " + ErrorText(errno);
    ::unlink(file.c_str());
    return false;
  }
  error = "no free name for the archive beside " + base + extension;
  return false;
}

constexpr std::string_view kTemporaryStart = ".purgelet-saves-";

// Archives that a killed run left half written ("<start><pid>-XXXXXX" of a process that is no
// more) are removed; those of runs still going are theirs.
void RemoveKilledTemporaries(const std::string& intoDir) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(intoDir.c_str()), ::closedir);
  if (!dir) return;
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string_view name = e->d_name;
    if (!name.starts_with(kTemporaryStart)) continue;
    const std::string_view rest = name.substr(kTemporaryStart.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 9) continue;
    const std::string digits(rest.substr(0, dash));
    if (digits.find_first_not_of("0123456789") != std::string::npos) continue;
    const auto pid = static_cast<pid_t>(std::stol(digits));
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
      ::unlinkat(::dirfd(dir.get()), e->d_name, 0);
  }
}

// Writes the whole archive into the open temporary file.
bool WriteArchive(int fd, const std::string& prefixDir, const std::string& top,
                  const std::vector<ArchiveExtra>& extra, std::vector<Member>& members,
                  std::string& compression, std::string& error) {
  Writer out(la::archive_write_new());
  la::archive_write_set_format_pax(out.get());
  compression = "zstd";
  if (la::archive_write_add_filter_zstd(out.get()) != ARCHIVE_OK) {
    // A libarchive built without zstd: xz, which every tar reads too.
    compression = "xz";
    if (la::archive_write_add_filter_xz(out.get()) != ARCHIVE_OK) {
      error = "cannot compress the archive: " + ArchiveError(out.get());
      return false;
    }
  }
  la::archive_write_set_bytes_in_last_block(out.get(), 1);
  if (la::archive_write_open_fd(out.get(), fd) != ARCHIVE_OK) {
    error = "cannot write the archive: " + ArchiveError(out.get());
    return false;
  }
  SavesWriter writer(prefixDir, top, out.get());
  if (!writer.Run(members, error)) return false;
  for (const ArchiveExtra& file : extra)
    if (!writer.Memory(file, members, error)) return false;
  if (la::archive_write_close(out.get()) != ARCHIVE_OK) {
    error = "cannot write the archive: " + ArchiveError(out.get());
    return false;
  }
  if (::fsync(fd) != 0) {
    error = "cannot write the archive: " + ErrorText(errno);
    return false;
  }
  return true;
}

}  // namespace

bool WriteSavesArchive(const std::string& prefixDir, const std::string& name,
                       const std::string& intoDir, SavesArchive& archive, std::string& error,
                       const std::vector<ArchiveExtra>& extra) {
  if (!la::Load(error)) return false;
  std::error_code ec;
  fs::create_directories(intoDir, ec);
  if (ec) {
    error = "cannot make " + intoDir + ": " + ec.message();
    return false;
  }
  // The name and the date must fit what the folder's file system takes in one name.
  const long nameMax = ::pathconf(intoDir.c_str(), _PC_NAME_MAX);
  const std::size_t budget = nameMax > 0 ? static_cast<std::size_t>(nameMax) : 255;
  const std::string stamp = " saves " + Stamp();
  const std::size_t tail = stamp.size() + std::string(" (1000).tar.zst").size();
  if (budget <= tail + 8) {
    error = "the file system of " + intoDir + " takes too short names for an archive";
    return false;
  }
  const std::string top = ArchiveName(name, std::min<std::size_t>(200, budget - tail));
  const Utf8Names utf8;
  RemoveKilledTemporaries(intoDir);
  std::string temporary =
      intoDir + "/" + std::string(kTemporaryStart) + std::to_string(::getpid()) + "-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot write in " + intoDir + ": " + ErrorText(errno);
    return false;
  }
  std::vector<Member> members;
  std::string compression;
  bool ok = WriteArchive(fd, prefixDir, top, extra, members, compression, error);
  if (::close(fd) != 0 && ok) {
    error = "cannot write the archive: " + ErrorText(errno);
    ok = false;
  }
  if (ok && members.empty()) {  // no saves: no archive
    ::unlink(temporary.c_str());
    archive = SavesArchive{};
    return true;
  }
  ok = ok && Verify(temporary, members, error);
  std::string file;
  ok = ok && GiveName(temporary, intoDir + "/" + top + stamp,
                      compression == "zstd" ? ".tar.zst" : ".tar.xz", file, error);
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (const int dir = ::open(intoDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  archive.file = file;
  archive.files = members.size();
  archive.bytes = 0;
  for (const Member& m : members) archive.bytes += m.size;
  archive.compression = compression;
  return true;
}

}  // namespace pgl
