#include "platform/wine/PrefixUsage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

namespace pgl {

namespace {

std::int64_t Seconds(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec);
}

// One walk of a folder tree by several threads: each takes a folder, counts its entries and
// hands on the folders inside.
class Walk {
 public:
  Walk(std::string root, std::string prefixInRoot, bool countSaves = true)
      : root_(std::move(root)), prefixInRoot_(std::move(prefixInRoot)), countSaves_(countSaves) {}

  void Run(unsigned threads) {
    struct stat st {};
    if (::lstat(root_.c_str(), &st) != 0) {
      result_.unreadable.push_back(root_);
      if (countSaves_) result_.savesUnread.push_back(root_);
      return;
    }
    result_.sizeBytes += static_cast<std::uint64_t>(st.st_blocks) * 512;
    if (!S_ISDIR(st.st_mode)) return;
    pending_.push_back("");
    std::vector<std::thread> workers;
    for (unsigned i = 1; i < threads; ++i) workers.emplace_back([this] { Work(); });
    Work();
    for (auto& worker : workers) worker.join();
    for (auto& [path, bytes] : saves_) result_.saveFolders.push_back({path, bytes});
    std::sort(result_.unreadable.begin(), result_.unreadable.end());
    std::sort(result_.savesUnread.begin(), result_.savesUnread.end());
  }

  PrefixUsage& Result() { return result_; }

 private:
  struct Counts {
    std::uint64_t size = 0, saves = 0;
    std::int64_t newest = 0;
    std::map<std::string, std::uint64_t> saveFolders;
    std::vector<std::string> unreadable, savesUnread;
  };

  void Work() {
    Counts counts;
    std::string dir;
    while (Next(dir)) {
      std::vector<std::string> found;
      ReadFolder(dir, counts, found);
      Done(found);
    }
    const std::lock_guard lock(mutex_);
    result_.sizeBytes += counts.size;
    result_.savesBytes += counts.saves;
    result_.lastUsed = std::max(result_.lastUsed, counts.newest);
    for (auto& [path, bytes] : counts.saveFolders) saves_[path] += bytes;
    result_.unreadable.insert(result_.unreadable.end(), counts.unreadable.begin(),
                              counts.unreadable.end());
    result_.savesUnread.insert(result_.savesUnread.end(), counts.savesUnread.begin(),
                               counts.savesUnread.end());
  }

  // The next folder to read (relative to the root); false once every folder is read.
  bool Next(std::string& dir) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return !pending_.empty() || busy_ == 0; });
    if (pending_.empty()) return false;
    dir = std::move(pending_.back());
    pending_.pop_back();
    ++busy_;
    return true;
  }

  void Done(std::vector<std::string>& found) {
    {
      const std::lock_guard lock(mutex_);
      for (auto& dir : found) pending_.push_back(std::move(dir));
      --busy_;
    }
    ready_.notify_all();
  }

  void ReadFolder(const std::string& dir, Counts& counts, std::vector<std::string>& found) {
    const std::string path = dir.empty() ? root_ : root_ + "/" + dir;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!d) {
      if (fd >= 0) ::close(fd);
      counts.unreadable.push_back(path);
      std::string inPrefix;
      if (!countSaves_) return;
      if (dir.empty() || dir == prefixInRoot_ ||
          (InPrefix(dir, inPrefix) && MayHoldSaves(inPrefix)))
        counts.savesUnread.push_back(path);
      return;
    }
    while (const dirent* e = ::readdir(d)) {
      const std::string_view name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      const std::string relative = dir.empty() ? std::string(name) : dir + "/" + std::string(name);
      if (S_ISDIR(st.st_mode)) {
        counts.size += static_cast<std::uint64_t>(st.st_blocks) * 512;
        found.push_back(relative);
        continue;
      }
      if (st.st_nlink > 1 && !FirstLink(st)) continue;
      const std::uint64_t bytes = static_cast<std::uint64_t>(st.st_blocks) * 512;
      counts.size += bytes;
      if (!countSaves_ || !S_ISREG(st.st_mode)) continue;
      std::string inPrefix;
      if (!InPrefix(relative, inPrefix)) continue;
      if (inPrefix == "system.reg" || inPrefix == "user.reg" || inPrefix == "userdef.reg") {
        counts.newest = std::max(counts.newest, Seconds(st));
        continue;
      }
      const std::string folder = SaveFolderOf(inPrefix);
      if (folder.empty()) continue;
      counts.saves += bytes;
      counts.saveFolders[folder] += bytes;
      counts.newest = std::max(counts.newest, Seconds(st));
    }
    ::closedir(d);
  }

  // A file with several names is counted at the first of them met.
  bool FirstLink(const struct stat& st) {
    const std::lock_guard lock(linksMutex_);
    return links_.insert({st.st_dev, st.st_ino}).second;
  }

  // The path relative to the prefix, for a path relative to the root inside it.
  bool InPrefix(const std::string& relative, std::string& out) const {
    if (prefixInRoot_.empty()) {
      out = relative;
      return true;
    }
    if (!relative.starts_with(prefixInRoot_) || relative.size() <= prefixInRoot_.size() ||
        relative[prefixInRoot_.size()] != '/')
      return false;
    out = relative.substr(prefixInRoot_.size() + 1);
    return true;
  }

  const std::string root_;
  const std::string prefixInRoot_;  // "" when the root is the prefix, else "pfx"
  const bool countSaves_;           // false: only the size (a folder that is no prefix)
  PrefixUsage result_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::vector<std::string> pending_;
  int busy_ = 0;
  std::map<std::string, std::uint64_t> saves_;
  std::mutex linksMutex_;
  std::set<std::pair<dev_t, ino_t>> links_;
};

}  // namespace

std::uint64_t FolderDiskBytes(const std::string& folder, std::vector<std::string>& unreadable,
                              unsigned threads) {
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  Walk walk(folder, "", false);
  walk.Run(threads);
  for (std::string& path : walk.Result().unreadable) unreadable.push_back(std::move(path));
  return walk.Result().sizeBytes;
}

PrefixUsage MeasurePrefix(const std::string& givenFolder, const std::string& givenPrefixDir,
                          unsigned threads) {
  // Measured as the folders they are: a path through a link (Steam's ~/.steam/steam, a home
  // reached through a link) must find the same saves as the resolved one.
  const auto resolved = [](const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
  };
  const std::string folder = resolved(givenFolder), prefixDir = resolved(givenPrefixDir);
  std::string inside;
  if (prefixDir != folder && prefixDir.starts_with(folder + "/"))
    inside = prefixDir.substr(folder.size() + 1);
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  Walk walk(folder, inside);
  walk.Run(threads);
  return std::move(walk.Result());
}

}  // namespace pgl
