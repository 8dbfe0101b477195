// Copies among prefixes found by size, a hash and then their bytes; shared with FIDEDUPERANGE.
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/SharedFiles.h"
#include "util/Parallel.h"

namespace pgl {

namespace {

namespace fs = std::filesystem;

struct FoundFile {
  std::string path;
  std::uint64_t size = 0;
  dev_t device = 0;
  ino_t inode = 0;
  std::size_t prefix = 0;
};

// An open file, closed when it goes out of scope; -1 where it could not be opened.
class Fd {
 public:
  explicit Fd(const std::string& path, int flags = O_RDONLY) {
    fd_ = ::open(path.c_str(), flags | O_NOATIME | O_NOFOLLOW | O_CLOEXEC);
    // O_NOATIME is for the file's owner: anyone else reads without it.
    if (fd_ < 0 && errno == EPERM) fd_ = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
  }
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_ = -1;
};

constexpr std::size_t kChunk = 1 << 16;

// Reads up to `size` bytes at `offset`; false on an error or a short file.
bool ReadAt(int fd, char* into, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t n = ::pread(fd, into, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into += n;
    size -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

// A hash of the file's content for grouping (equality is decided by the bytes); nothing where
// it cannot be read whole.
std::optional<std::uint64_t> HashOf(const FoundFile& file) {
  const Fd fd(file.path);
  if (fd.get() < 0) return std::nullopt;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ file.size;
  for (std::uint64_t at = 0; at < file.size; at += kChunk) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, file.size - at));
    if (!ReadAt(fd.get(), buffer.get(), n, at)) return std::nullopt;
    for (std::size_t i = 0; i < n; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, buffer.get() + i, std::min<std::size_t>(8, n - i));
      hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
      hash ^= hash >> 29;
    }
  }
  return hash;
}

bool SameBytes(const std::string& a, const std::string& b, std::uint64_t size) {
  const Fd fa(a), fb(b);
  if (fa.get() < 0 || fb.get() < 0) return false;
  std::unique_ptr<char[]> ba(new char[kChunk]), bb(new char[kChunk]);
  for (std::uint64_t at = 0; at < size; at += kChunk) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - at));
    if (!ReadAt(fa.get(), ba.get(), n, at) || !ReadAt(fb.get(), bb.get(), n, at) ||
        std::memcmp(ba.get(), bb.get(), n) != 0)
      return false;
  }
  return true;
}

// Bytes of the file in extents the file system shares with another file.
std::uint64_t SharedBytesOf(const std::string& path, std::uint64_t size) {
  const Fd fd(path);
  if (fd.get() < 0) return 0;
  constexpr unsigned kExtents = 256;
  std::vector<char> room(sizeof(fiemap) + kExtents * sizeof(fiemap_extent));
  std::uint64_t shared = 0, start = 0;
  for (;;) {
    std::fill(room.begin(), room.end(), 0);
    auto* map = reinterpret_cast<fiemap*>(room.data());
    map->fm_start = start;
    map->fm_length = FIEMAP_MAX_OFFSET - start;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = kExtents;
    if (::ioctl(fd.get(), FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) break;
    bool last = false;
    for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
      const fiemap_extent& e = map->fm_extents[i];
      if (e.fe_flags & FIEMAP_EXTENT_SHARED) shared += e.fe_length;
      start = e.fe_logical + e.fe_length;
      last = last || (e.fe_flags & FIEMAP_EXTENT_LAST);
    }
    if (last) break;
  }
  return std::min(shared, size);
}

// The regular files of a prefix, less the user's own folder and the registry files.
void Walk(const std::string& root, std::size_t prefix, std::vector<FoundFile>& out,
          std::vector<std::string>& unreadable) {
  std::error_code error;
  fs::recursive_directory_iterator it(root, fs::directory_options::none, error), end;
  if (error) {
    unreadable.push_back(root + ": " + error.message());
    return;
  }
  for (; it != end; it.increment(error)) {
    if (error) {
      unreadable.push_back(it->path().string() + ": " + error.message());
      error.clear();
      continue;
    }
    const fs::path relative = it->path().lexically_relative(root);
    if (it.depth() == 1 && relative == fs::path("drive_c/users")) {
      it.disable_recursion_pending();
      continue;
    }
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) continue;
    const std::string name = relative.string();
    if (name == "system.reg" || name == "user.reg" || name == "userdef.reg") continue;
    out.push_back({it->path().string(), static_cast<std::uint64_t>(st.st_size), st.st_dev,
                   st.st_ino, prefix});
  }
}

}  // namespace

DuplicateReport FindDuplicates(const std::vector<std::string>& prefixDirs) {
  DuplicateReport report;
  std::vector<FoundFile> files;
  for (std::size_t p = 0; p < prefixDirs.size(); ++p) {
    report.prefixes.push_back({prefixDirs[p], 0, 0});
    Walk(prefixDirs[p], p, files, report.unreadable);
  }
  // Each file once (hard links to it are one file), in the prefixes' order.
  std::sort(files.begin(), files.end(), [](const FoundFile& a, const FoundFile& b) {
    if (a.size != b.size) return a.size < b.size;
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return a.path < b.path;
  });
  std::vector<FoundFile> candidates;
  for (std::size_t i = 0; i < files.size();) {
    std::size_t j = i;
    while (j < files.size() && files[j].size == files[i].size) ++j;
    std::vector<FoundFile> group;
    for (std::size_t k = i; k < j; ++k)
      if (std::none_of(group.begin(), group.end(), [&](const FoundFile& g) {
            return g.device == files[k].device && g.inode == files[k].inode;
          }))
        group.push_back(std::move(files[k]));
    if (group.size() > 1) candidates.insert(candidates.end(), group.begin(), group.end());
    i = j;
  }
  files = {};
  std::vector<std::optional<std::uint64_t>> hashes(candidates.size());
  ParallelFor(candidates.size(), [&](std::size_t i) { hashes[i] = HashOf(candidates[i]); });
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<std::size_t>> byContent;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!hashes[i]) {
      report.unreadable.push_back(candidates[i].path + ": cannot be read");
      continue;
    }
    byContent[{candidates[i].size, *hashes[i]}].push_back(i);
  }
  // Equal hashes are only likely equal: each set is the files whose bytes equal its first's.
  // The groups are compared on every core, each into sets of its own, kept in the groups' order.
  std::vector<std::pair<std::uint64_t, std::vector<std::size_t>*>> groups;
  for (auto& [key, members] : byContent)
    if (members.size() > 1) groups.emplace_back(key.first, &members);
  std::vector<std::vector<DuplicateSet>> setsOf(groups.size());
  ParallelFor(groups.size(), [&](std::size_t g) {
    const std::uint64_t size = groups[g].first;
    std::vector<std::size_t> members = std::move(*groups[g].second);
    while (members.size() > 1) {
      DuplicateSet set{size, {candidates[members[0]].path}, {candidates[members[0]].prefix}};
      std::vector<std::size_t> rest;
      for (std::size_t m = 1; m < members.size(); ++m) {
        const FoundFile& f = candidates[members[m]];
        if (SameBytes(set.files[0], f.path, size)) {
          set.files.push_back(f.path);
          set.prefixOf.push_back(f.prefix);
        } else {
          rest.push_back(members[m]);
        }
      }
      if (set.files.size() > 1) setsOf[g].push_back(std::move(set));
      members = std::move(rest);
    }
  });
  std::vector<DuplicateSet> sets;
  for (auto& some : setsOf)
    for (auto& set : some) sets.push_back(std::move(set));
  std::vector<std::uint64_t> shared(sets.size());
  ParallelFor(sets.size(), [&](std::size_t s) {
    for (std::size_t f = 1; f < sets[s].files.size(); ++f)
      shared[s] += SharedBytesOf(sets[s].files[f], sets[s].size);
  });
  for (std::size_t s = 0; s < sets.size(); ++s) {
    for (std::size_t f = 1; f < sets[s].files.size(); ++f) {
      report.prefixes[sets[s].prefixOf[f]].duplicateBytes += sets[s].size;
      report.totalDuplicateBytes += sets[s].size;
    }
    report.totalSharedBytes += shared[s];
  }
  // A prefix's shared bytes are its copies' (each set's copies share alike).
  for (std::size_t s = 0; s < sets.size(); ++s) {
    const std::size_t copies = sets[s].files.size() - 1;
    for (std::size_t f = 1; f < sets[s].files.size(); ++f)
      report.prefixes[sets[s].prefixOf[f]].sharedBytes += shared[s] / copies;
  }
  report.sets = std::move(sets);
  return report;
}

std::string WhySharingIsImpossible(const std::vector<std::string>& prefixDirs) {
  constexpr long kBtrfs = 0x9123683E, kXfs = 0x58465342, kBcachefs = 0xCA451A4E;
  constexpr long kExt4 = 0xEF53, kTmpfs = 0x01021994;
  dev_t device = 0;
  for (std::size_t i = 0; i < prefixDirs.size(); ++i) {
    struct statfs info {};
    struct stat st {};
    if (::statfs(prefixDirs[i].c_str(), &info) != 0 || ::stat(prefixDirs[i].c_str(), &st) != 0)
      return prefixDirs[i] + ": " + std::strerror(errno);
    const long type = static_cast<long>(info.f_type);
    if (type != kBtrfs && type != kXfs && type != kBcachefs) {
      const std::string name = type == kExt4 ? "ext4" : type == kTmpfs ? "tmpfs" : "a file system";
      return prefixDirs[i] + " is on " + name +
             ", which cannot share the contents of files (btrfs, XFS and bcachefs can)";
    }
    if (i > 0 && st.st_dev != device)
      return "the prefixes are on several file systems: files are shared within one only";
    device = st.st_dev;
  }
  return {};
}

SharingResult ShareDuplicates(const std::vector<DuplicateSet>& sets,
                              const std::function<void(std::size_t, std::size_t)>& progress) {
  SharingResult result;
  // The kernel shares up to this much in one call; each call is whole or nothing.
  constexpr std::uint64_t kRange = 16u << 20;
  std::vector<char> room(sizeof(file_dedupe_range) + sizeof(file_dedupe_range_info));
  for (std::size_t s = 0; s < sets.size() && !result.unsupported; ++s) {
    const DuplicateSet& set = sets[s];
    const Fd source(set.files[0]);
    if (source.get() < 0) {
      result.failures.push_back(set.files[0] + ": " + std::strerror(errno));
      continue;
    }
    for (std::size_t f = 1; f < set.files.size() && !result.unsupported; ++f) {
      const Fd copy(set.files[f]);
      struct stat before {};
      if (copy.get() < 0 || ::fstat(copy.get(), &before) != 0) {
        result.failures.push_back(set.files[f] + ": " + std::strerror(errno));
        continue;
      }
      if (!S_ISREG(before.st_mode) || static_cast<std::uint64_t>(before.st_size) != set.size) {
        result.failures.push_back(set.files[f] + ": changed since it was read");
        continue;
      }
      std::uint64_t done = 0;
      std::string why;
      while (done < set.size && why.empty()) {
        std::fill(room.begin(), room.end(), 0);
        auto* range = reinterpret_cast<file_dedupe_range*>(room.data());
        range->src_offset = done;
        range->src_length = std::min(kRange, set.size - done);
        range->dest_count = 1;
        range->info[0].dest_fd = copy.get();
        range->info[0].dest_offset = done;
        if (::ioctl(source.get(), FIDEDUPERANGE, range) != 0) {
          if (errno == EOPNOTSUPP || errno == ENOTTY || errno == EXDEV) result.unsupported = true;
          why = std::strerror(errno);
        } else if (range->info[0].status == FILE_DEDUPE_RANGE_DIFFERS) {
          why = "changed since it was read";
        } else if (range->info[0].status < 0) {
          const int code = -range->info[0].status;
          if (code == EOPNOTSUPP || code == EXDEV) result.unsupported = true;
          why = std::strerror(code);
        } else if (range->info[0].bytes_deduped == 0) {
          why = "the file system shared nothing";
        } else {
          done += range->info[0].bytes_deduped;
        }
      }
      result.sharedBytes += done;
      if (done > 0) ++result.filesShared;
      if (!why.empty()) result.failures.push_back(set.files[f] + ": " + why);
      // Reading or sharing may touch the times: the file keeps those it had.
      struct stat after {};
      if (::fstat(copy.get(), &after) == 0 && (after.st_atim.tv_sec != before.st_atim.tv_sec ||
                                               after.st_atim.tv_nsec != before.st_atim.tv_nsec ||
                                               after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
                                               after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)) {
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ::futimens(copy.get(), times);
      }
    }
    if (progress) progress(s + 1, sets.size());
  }
  return result;
}

}  // namespace pgl
