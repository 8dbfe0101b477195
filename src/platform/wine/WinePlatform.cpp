#include "platform/wine/WinePlatform.h"

#include <climits>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "registry/TRegistry.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace pgl {

std::optional<std::string> WinEnvironment::Get(std::string_view name) const {
  for (const auto& [n, v] : vars_)
    if (AsciiEqualNoCase(n, name)) return v;
  return std::nullopt;
}

void WinEnvironment::Set(std::string_view name, std::string value) {
  for (auto& [n, v] : vars_)
    if (AsciiEqualNoCase(n, name)) {
      v = std::move(value);
      return;
    }
  vars_.emplace_back(std::string(name), std::move(value));
}

std::string WinEnvironment::Expand(std::string_view text) const {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      const std::size_t next = text.find('%', i);
      const std::size_t end = next == std::string_view::npos ? text.size() : next;
      out += text.substr(i, end - i);
      i = end;
      continue;
    }
    const std::size_t close = text.find('%', i + 1);
    if (close == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    const auto value = Get(text.substr(i + 1, close - i - 1));
    if (value && close > i + 1)
      out += *value;
    else
      out += text.substr(i, close - i + 1);
    i = close + 1;
  }
  return out;
}

namespace {

// Reads the text values of one key into the environment: plain texts first, then the
// expandable ones expanded with what is known so far, as Wine does.
void AddKeyVariables(WinEnvironment& env, RegistryStore& registry, RootKey root,
                     std::string_view path) {
  TRegistry reg(registry);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(path)) return;
  std::vector<std::string> names;
  reg.GetValueNames(names);
  for (const auto type : {TRegDataType::rdString, TRegDataType::rdExpandString})
    for (const auto& name : names) {
      if (name.empty() || reg.GetDataType(name) != type) continue;
      const std::string value = reg.ReadString(name);
      env.Set(name, type == TRegDataType::rdString ? value : env.Expand(value));
    }
}

std::string ReadText(RegistryStore& registry, RootKey root, std::string_view path,
                     std::string_view name) {
  TRegistry reg(registry);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(path)) return {};
  try {
    return reg.ReadString(name);
  } catch (const ERegistryException&) {
    return {};
  }
}

void SetFrom(WinEnvironment& env, std::string_view var, RegistryStore& registry,
             std::string_view path, std::string_view name) {
  std::string value = ReadText(registry, kHkeyLocalMachine, path, name);
  if (!value.empty()) env.Set(var, env.Expand(value));
}

}  // namespace

WinEnvironment WinEnvironment::FromRegistry(RegistryStore& registry) {
  WinEnvironment env;
  std::string systemRoot = ReadText(
      registry, kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot");
  if (systemRoot.empty()) systemRoot = "C:\\windows";
  env.Set("SystemDrive", systemRoot.substr(0, 2));
  env.Set("SystemRoot", systemRoot);
  AddKeyVariables(env, registry, kHkeyLocalMachine,
                  "System\\CurrentControlSet\\Control\\Session Manager\\Environment");
  AddKeyVariables(env, registry, kHkeyCurrentUser, "Environment");
  AddKeyVariables(env, registry, kHkeyCurrentUser, "Volatile Environment");
  const char* profiles = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  SetFrom(env, "ALLUSERSPROFILE", registry, profiles, "ProgramData");
  SetFrom(env, "ProgramData", registry, profiles, "ProgramData");
  SetFrom(env, "PUBLIC", registry, profiles, "Public");
  const char* current = "Software\\Microsoft\\Windows\\CurrentVersion";
  SetFrom(env, "ProgramFiles", registry, current, "ProgramFilesDir");
  SetFrom(env, "ProgramW6432", registry, current, "ProgramFilesDir");
  SetFrom(env, "ProgramFiles(x86)", registry, current, "ProgramFilesDir (x86)");
  SetFrom(env, "CommonProgramFiles", registry, current, "CommonFilesDir");
  SetFrom(env, "CommonProgramW6432", registry, current, "CommonFilesDir");
  SetFrom(env, "CommonProgramFiles(x86)", registry, current, "CommonFilesDir (x86)");
  SetFrom(env, "COMPUTERNAME", registry,
          "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName");
  return env;
}

WinePlatform::WinePlatform(std::string prefixDir, RegistryStore& registry)
    : prefixDir_(std::move(prefixDir)), env_(WinEnvironment::FromRegistry(registry)) {
  for (std::atomic<int>& fd : driveFds_) fd = -1;
  // Windows' default search order without the caller's own and current folders: the system
  // folder, the 16-bit system folder, the Windows folder, then PATH.
  const std::string windir = env_.Get("SystemRoot").value_or("C:\\windows");
  searchDirs_ = {windir + "\\system32", windir + "\\system", windir};
  const std::string path = env_.Get("PATH").value_or("");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(';', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    while (!dir.empty() && dir.back() == '\\') dir.pop_back();
    if (!dir.empty()) searchDirs_.push_back(dir);
    start = end + 1;
  }
}

std::string WinePlatform::ExpandEnvironmentStrings(std::string_view text) const {
  return env_.Expand(text);
}

namespace {

constexpr std::size_t kMaxWindowsPath = 32767;

bool Exists(const std::string& path, struct stat& st) {
  return ::stat(path.c_str(), &st) == 0;
}

// Whether the parts of a path below its drive are all there as written: none empty, "." or
// "..", and the last without the blanks and dots at its end that Windows drops.
bool IsPlainPath(std::string_view rest) {
  if (rest.empty() || rest.back() == ' ' || rest.back() == '.') return false;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = rest.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

bool IsAbsoluteWindowsPath(std::string_view p) {
  return p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
         (p[2] == '\\' || p[2] == '/');
}

}  // namespace

std::optional<std::string> WinePlatform::FindNoCase(const std::string& dir, const struct stat& st,
                                                    std::string_view name) const {
  // Folder listings are kept while the folder's change time stays the same.
  const long long changed =
      static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  const std::u16string wanted = FoldRegName(Utf8ToUtf16(name));
  const auto lookUp = [&](const Listing& listing) -> std::optional<std::string> {
    const auto found = listing.byFoldedName.find(wanted);
    if (found == listing.byFoldedName.end()) return std::nullopt;
    return found->second;
  };
  {
    const std::lock_guard<std::mutex> lock(listingsMutex_);
    const auto known = listings_.find(dir);
    if (known != listings_.end() && known->second.changed == changed &&
        known->second.inode == st.st_ino)
      return lookUp(known->second);
  }
  // The folder is read without the lock: other threads read theirs meanwhile.
  Listing listing{changed, st.st_ino, {}};
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d))
      listing.byFoldedName.emplace(FoldRegName(Utf8ToUtf16(e->d_name)), e->d_name);
    ::closedir(d);
  }
  std::optional<std::string> result = lookUp(listing);
  const std::lock_guard<std::mutex> lock(listingsMutex_);
  // A scan of many programs looks into as many folders; the cache keeps the recent ones only.
  if (listings_.size() >= kMaxListings && !listings_.contains(dir)) listings_.clear();
  listings_[dir] = std::move(listing);
  return result;
}

std::optional<std::string> WinePlatform::ToUnixPath(std::string_view windowsPath) const {
  struct stat st {};
  return Resolve(windowsPath, st);
}

std::optional<std::string> WinePlatform::Resolve(std::string_view windowsPath,
                                                 struct stat& st) const {
  std::string_view p = windowsPath;
  if (p.starts_with("\\\\?\\") || p.starts_with("\\??\\")) p.remove_prefix(4);
  // Windows names nothing longer; and no longer path can be opened here.
  if (!IsAbsoluteWindowsPath(p) || p.size() > kMaxWindowsPath) return std::nullopt;
  const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(p[0])));
  std::string current = prefixDir_ + "/dosdevices/";
  current += drive;
  current += ':';
  // Most paths are plain (no empty, "." or ".." part, no blank or dot at the end) and spelled
  // as they are on disk: one look-up answers them, with the path made in one piece.
  const bool plain = IsPlainPath(p.substr(3));
  if (plain) {
    std::string exact;
    exact.reserve(current.size() + p.size());
    exact = current;
    exact += '/';
    for (const char c : p.substr(3)) exact += c == '\\' ? '/' : c;
    if (exact.find('\0') != std::string::npos || exact.size() >= PATH_MAX) return std::nullopt;
    const int held = ExistsOnHeldDrive(drive, exact.substr(current.size() + 1), st);
    if (held == 1 || (held < 0 && Exists(exact, st))) return exact;
  }
  const std::vector<std::string> parts = WindowsPathParts(p.substr(3));
  // Most paths are spelled as they are on disk: one look-up answers them.
  std::string exact = current;
  std::vector<std::size_t> ends;  // where each component ends in `exact`
  for (const auto& part : parts) {
    exact += "/" + part;
    ends.push_back(exact.size());
  }
  if (exact.find('\0') != std::string::npos || exact.size() >= PATH_MAX) return std::nullopt;
  if (!plain && Exists(exact, st)) return exact;
  // Otherwise start from the longest part of the path that exists as spelled (usually the
  // folder of the file) and find the rest without regard to case.
  if (parts.empty()) return std::nullopt;  // the drive itself is missing
  std::size_t known = parts.size() - 1;
  std::string base;
  struct stat baseStat {};
  while (known > 0) {
    base = exact.substr(0, ends[known - 1]);
    if (Exists(base, baseStat)) break;
    --known;
  }
  if (known == 0) {
    base = current;
    if (!Exists(base, baseStat)) return std::nullopt;
  }
  for (std::size_t i = known; i < parts.size(); ++i) {
    std::string next = base + "/" + parts[i];
    // The first part below the base was looked for as spelled already, and is missing.
    if (i == known || !Exists(next, st)) {
      // Windows keeps a blank at the end of a folder's name in a path and makes no folder
      // whose name ends in one: such a part (" /S" of a command taken for a path) names
      // nothing that a search without regard to case could find.
      if (i + 1 < parts.size() && parts[i].back() == ' ') return std::nullopt;
      const auto match = FindNoCase(base, baseStat, parts[i]);
      if (!match) return std::nullopt;
      next = base + "/" + *match;
      if (!Exists(next, st)) return std::nullopt;
    }
    base = std::move(next);
    baseStat = st;
  }
  return base;
}

std::shared_ptr<void> WinePlatform::HoldDrives() const {
  {
    const std::unique_lock lock(drivesMutex_);
    ++driveHolds_;
  }
  // The answer points at nothing; its end lets go of the hold (before the platform goes).
  return std::shared_ptr<void>(nullptr, [this](void*) {
    const std::unique_lock lock(drivesMutex_);
    if (--driveHolds_ > 0) return;
    for (std::atomic<int>& fd : driveFds_) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  });
}

int WinePlatform::ExistsOnHeldDrive(char letter, const std::string& below, struct stat& st) const {
  if (letter < 'a' || letter > 'z') return -1;
  const std::shared_lock lock(drivesMutex_);
  if (driveHolds_ == 0) return -1;
  std::atomic<int>& slot = driveFds_[static_cast<std::size_t>(letter - 'a')];
  int fd = slot;
  if (fd == -1) {
    // Opened through the drive's link, as a look-up of the whole path would follow it.
    const std::string drive = prefixDir_ + "/dosdevices/" + letter + ":";
    int opened = ::open(drive.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) opened = -2;
    if (slot.compare_exchange_strong(fd, opened))
      fd = opened;
    else if (opened >= 0)
      ::close(opened);  // another thread opened it first: `fd` holds its descriptor
  }
  if (fd == -2) return 0;
  return ::fstatat(fd, below.c_str(), &st, 0) == 0 ? 1 : 0;
}

bool WinePlatform::FileExists(std::string_view windowsPath) const {
  // A path that ends in a separator names a folder, never a file.
  if (windowsPath.ends_with('\\') || windowsPath.ends_with('/')) return false;
  struct stat st {};
  return Resolve(windowsPath, st) && S_ISREG(st.st_mode);
}

std::optional<std::string> WinePlatform::SearchPath(std::string_view fileName) const {
  if (fileName.empty()) return std::nullopt;
  if (IsAbsoluteWindowsPath(fileName)) {
    if (FileExists(fileName)) return std::string(fileName);
    return std::nullopt;
  }
  for (const auto& dir : searchDirs_) {
    std::string candidate = dir + "\\" + std::string(fileName);
    if (FileExists(candidate)) return candidate;
  }
  return std::nullopt;
}

}  // namespace pgl
