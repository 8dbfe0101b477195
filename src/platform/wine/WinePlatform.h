// The platform services inside a Wine prefix: Windows paths resolved through the prefix's
// drives, the environment a Wine program of that prefix starts with, Windows' search order.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "registry/RegistryStore.h"

namespace pgl {

// Environment variables with Windows' rules: names without regard to case.
class WinEnvironment {
 public:
  std::optional<std::string> Get(std::string_view name) const;
  void Set(std::string_view name, std::string value);
  // Windows' expansion: %NAME% of a known variable becomes its value; an unknown one is
  // copied as written and scanning goes on after its closing "%"; a lone "%" stays.
  std::string Expand(std::string_view text) const;
  const std::vector<std::pair<std::string, std::string>>& Items() const { return vars_; }

  // What a program started in the prefix sees, built from the prefix's registry.
  static WinEnvironment FromRegistry(RegistryStore& registry);

 private:
  std::vector<std::pair<std::string, std::string>> vars_;
};

class WinePlatform : public Platform {
 public:
  WinePlatform(std::string prefixDir, RegistryStore& registry);

  std::string ExpandEnvironmentStrings(std::string_view text) const override;
  std::optional<std::string> SearchPath(std::string_view fileName) const override;
  bool FileExists(std::string_view windowsPath) const override;
  std::optional<std::string> LocalPath(std::string_view windowsPath) const override {
    return ToUnixPath(windowsPath);
  }
  // While held, each drive's folder (dosdevices/x:, a link) is opened once and files are
  // looked for from it: a look-up no longer walks the prefix's path and the drive's link.
  std::shared_ptr<void> HoldDrives() const override;

  // The Unix path of an existing file or folder named by a Windows path, found as Wine does:
  // the drive through dosdevices/, each component by exact name first, then without regard
  // to case; trailing blanks of the last component are ignored.
  std::optional<std::string> ToUnixPath(std::string_view windowsPath) const;

  const WinEnvironment& Environment() const { return env_; }
  const std::string& PrefixDir() const { return prefixDir_; }

 private:
  // The name of `dir`'s entry that equals `name` without regard to case; `st` is the folder's
  // status.
  std::optional<std::string> FindNoCase(const std::string& dir, const struct stat& st,
                                        std::string_view name) const;
  // ToUnixPath, leaving the file's status in `st`.
  std::optional<std::string> Resolve(std::string_view windowsPath, struct stat& st) const;
  // Whether `below` exists below drive `letter` (a to z), from the drive's held folder: 1 or 0
  // (`st` then set or not), -1 when the drives are not held.
  int ExistsOnHeldDrive(char letter, const std::string& below, struct stat& st) const;

  struct Listing {
    long long changed = 0;
    ino_t inode = 0;
    std::unordered_map<std::u16string, std::string> byFoldedName;  // the first of equal names
  };
  static constexpr std::size_t kMaxListings = 256;
  mutable std::mutex listingsMutex_;  // files are looked for on several threads at once
  mutable std::map<std::string, Listing> listings_;
  // Descriptors of the drives' folders while HoldDrives() answers live: -1 not opened yet, -2
  // none to be had. Look-ups hold the lock shared; the last hold's end closes them.
  mutable std::shared_mutex drivesMutex_;
  mutable int driveHolds_ = 0;
  mutable std::array<std::atomic<int>, 26> driveFds_;
  std::string prefixDir_;
  WinEnvironment env_;
  std::vector<std::string> searchDirs_;
};

}  // namespace pgl
