#include "registry/WinePrefixRegistry.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/WineServer.h"

namespace pgl {

namespace {

std::uint64_t Fnv1a(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

bool DefaultCanWrite(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
  return ::access(path.c_str(), W_OK) == 0 && ::access(dir.c_str(), W_OK) == 0;
}

}  // namespace

WinePrefixRegistry::WinePrefixRegistry(std::string prefixDir)
    : WinePrefixRegistry(std::move(prefixDir), Seams{}) {}

WinePrefixRegistry::WinePrefixRegistry(std::string prefixDir, Seams seams)
    : prefixDir_(std::move(prefixDir)), seams_(std::move(seams)) {
  if (!seams_.write) seams_.write = WriteFileAtomic;
  if (!seams_.canWrite) seams_.canWrite = DefaultCanWrite;
  if (!seams_.serverRunning) seams_.serverRunning = IsWineServerRunning;
  system_.path = prefixDir_ + "/system.reg";
  user_.path = prefixDir_ + "/user.reg";
  Load(system_);
  Load(user_);
}

bool WinePrefixRegistry::StampOf(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  stamp = {st.st_dev, st.st_ino, st.st_size,
           static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
  return true;
}

void WinePrefixRegistry::Load(HiveFile& file) {
  file.present = false;
  file.verified = false;
  file.readError.clear();
  file.hive = WineHive{};
  file.parse = WineParseResult{};
  FileStamp before;
  if (!StampOf(file.path, before)) {
    file.readBytes.clear();
    return;
  }
  std::string bytes;
  if (!ReadWholeFile(file.path, bytes, file.readError)) return;
  file.present = true;
  file.stamp = before;
  file.hash.reset();  // computed when first needed: most runs never write
  file.parse = ParseWineRegistry(bytes, file.hive);
  file.readBytes = std::move(bytes);
  ++generation_;
}

WinePrefixRegistry::HiveFile* WinePrefixRegistry::FileFor(RootKey root) {
  if (root == kHkeyLocalMachine) return &system_;
  if (root == kHkeyCurrentUser) return &user_;
  return nullptr;
}

RegKey* WinePrefixRegistry::Hive(RootKey root) {
  HiveFile* file = FileFor(root);
  return file && file->present ? file->hive.root.get() : nullptr;
}

bool WinePrefixRegistry::Refuse(const HiveFile& file, const std::string& why) {
  error_ = "The registry file \"" + file.path + "\" cannot be changed: " + why;
  return false;
}

bool WinePrefixRegistry::BeginWrite(RootKey root) {
  HiveFile* file = FileFor(root);
  if (!file) {
    error_ = "This registry root is not available in a Wine prefix.";
    return false;
  }
  if (seams_.serverRunning(prefixDir_))
    return Refuse(*file,
                  "Wine is running in this prefix. Close its programs (or wait with "
                  "\"wineserver -w\") and try again.");
  FileStamp now;
  if (!StampOf(file->path, now)) return Refuse(*file, "the file does not exist.");
  if (!(now == file->stamp)) {
    // Changed since we read it: take Wine's version, unless it is only touched.
    std::string bytes, readError;
    if (!ReadWholeFile(file->path, bytes, readError)) return Refuse(*file, readError);
    const bool same = file->hash ? Fnv1a(bytes) == *file->hash : bytes == file->readBytes;
    if (!same)
      Load(*file);
    else
      file->stamp = now;
    if (!file->present) return Refuse(*file, file->readError);
  }
  if (!file->parse.isRegistryFile) return Refuse(*file, "it is not a Wine registry file.");
  if (!file->parse.problems.empty())
    return Refuse(*file, "it could not be fully read (" + file->parse.problems.front() + ").");
  if (!file->verified) {
    if (WriteWineRegistry(file->hive) != file->readBytes)
      return Refuse(*file, "it is not in the form Wine writes, so it is left as it is.");
    file->verified = true;
    file->hash = Fnv1a(file->readBytes);
    file->readBytes = std::string();
  }
  if (!seams_.canWrite(file->path)) return Refuse(*file, "you have no permission to write it.");
  error_.clear();
  return true;
}

bool WinePrefixRegistry::Commit(RootKey root) {
  HiveFile* file = FileFor(root);
  if (!file || !file->present) return false;
  const std::string bytes = WriteWineRegistry(file->hive);
  std::string writeError;
  FileStamp now;
  bool ok = false;
  {
    // From the last check to the rename no wineserver may start (it would load the old file
    // and write it back later), and no other writer of ours may save.
    const WineSaveLock lock(prefixDir_);
    if (!lock.ServerFree() || seams_.serverRunning(prefixDir_)) {
      writeError = "Wine started in this prefix meanwhile; nothing was saved.";
    } else if (!StampOf(file->path, now) || !(now == file->stamp)) {
      writeError = "another program changed it meanwhile; nothing was saved.";
    } else {
      ok = seams_.write(file->path, bytes, writeError);
      // A server started where its lock could not be held (a folder that did not exist yet)
      // may have read the old file: then the save is not one to count on.
      if (ok && seams_.serverRunning(prefixDir_)) {
        ok = false;
        writeError =
            "Wine started in this prefix during the save and may undo it when it exits. Close "
            "the prefix's programs and try again.";
      }
    }
  }
  if (!ok) {
    // The tree holds a change that is not on disk: go back to what is on disk.
    Load(*file);
    error_ = "The registry file \"" + file->path + "\" could not be saved: " + writeError;
    return false;
  }
  file->hash = Fnv1a(bytes);
  StampOf(file->path, file->stamp);
  error_.clear();
  return true;
}

bool WinePrefixRegistry::Refresh() {
  bool reloaded = false;
  for (HiveFile* file : {&system_, &user_}) {
    FileStamp now;
    const bool exists = StampOf(file->path, now);
    if (exists == file->present && (!exists || now == file->stamp)) continue;
    Load(*file);
    reloaded = true;
  }
  if (reloaded) ++generation_;
  return reloaded;
}

std::string WinePrefixRegistry::SystemFileUnusable() const {
  const HiveFile& f = system_;
  if (!f.readError.empty()) return f.readError;
  if (!f.present) return "\"" + f.path + "\" does not exist.";
  if (f.parse.isRegistryFile) return {};
  if (f.stamp.size == 0) return "\"" + f.path + "\" is empty: the prefix has no registry.";
  if (f.readBytes.starts_with("WINE REGISTRY Version "))
    return "\"" + f.path + "\" is a Wine registry file of a version Purgelet cannot read (\"" +
           f.readBytes.substr(0, std::min(f.readBytes.find('\n'), std::size_t{40})) + "\").";
  return "\"" + f.path + "\" is not a Wine registry file.";
}

std::vector<std::string> WinePrefixRegistry::LoadProblems() const {
  std::vector<std::string> out;
  for (const HiveFile* f : {&system_, &user_}) {
    if (!f->readError.empty()) {
      out.push_back(f->readError);
    } else if (f->present && !f->parse.isRegistryFile) {
      out.push_back("\"" + f->path + "\" is not a Wine registry file; it is not used.");
    } else if (f->present && !f->parse.problems.empty()) {
      out.push_back("\"" + f->path + "\" could not be fully read (" + f->parse.problems.front() +
                    "); it is shown as far as it was read and is not changed.");
    }
  }
  return out;
}

}  // namespace pgl
