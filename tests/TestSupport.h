// Helpers shared by the tests: temporary folders and small file utilities.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pgl::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, std::string_view bytes);
std::string ReadFile(const std::string& path);
// Creates the folder and its parents.
void MakeDirs(const std::string& path);
// Creates a file (and its folders) in a prefix folder made by MakePrefixDirs, by its Windows
// path on drive C: ("C:\\App\\x.exe").
void MakeWindowsFile(const std::string& prefix, const std::string& windowsPath,
                     std::string_view bytes = "MZ");
// The folders of a prefix: drive_c with windows\system32, and dosdevices/c: linked to it.
void MakePrefixDirs(const std::string& prefix);

#ifndef _WIN32
// What `du -s -B1` prints for a folder, in bytes (0 when it cannot be run).
std::uint64_t DuBytes(const std::string& dir);
// Runs `body` in a child process as a user that is not root (nobody, 65534, when these tests
// run as root; the same user otherwise) and answers its result, or -1 when the child failed.
// Files the child must reach are given to that user first with GiveToTestUser.
int RunAsTestUser(const std::function<int()>& body);
// Makes `path` and everything below it the user RunAsTestUser runs as (nothing when not root).
void GiveToTestUser(const std::string& path);
// Makes `path` unreadable for that user: owned by root with mode 0700 as root, else mode 0.
void HideFromTestUser(const std::string& path);

// A child process that holds a POSIX write lock on `lockFile` (created when missing) until
// this ends, as a running wineserver holds its lock.
class HeldLock {
 public:
  explicit HeldLock(const std::string& lockFile);
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

 private:
  int child_ = -1;
};
#endif

// Wine registry text (without the file header) of a prefix's basic Windows settings:
// SystemRoot C:\windows, PATH of system32 and the Windows folder, Program Files folders.
extern const char* const kBasicMachineRegistry;

}  // namespace pgl::test
