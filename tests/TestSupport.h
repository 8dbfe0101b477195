// Helpers shared by the tests: temporary folders and small file utilities.
#pragma once

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

}  // namespace pgl::test
