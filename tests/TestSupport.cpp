#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace pgl::test {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/pgl-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void MakeDirs(const std::string& path) {
  std::filesystem::create_directories(path);
}

void MakePrefixDirs(const std::string& prefix) {
  MakeDirs(prefix + "/drive_c/windows/system32");
  MakeDirs(prefix + "/dosdevices");
  std::filesystem::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
}

void MakeWindowsFile(const std::string& prefix, const std::string& windowsPath,
                     std::string_view bytes) {
  std::string unix = prefix + "/drive_c/" + windowsPath.substr(3);
  for (char& c : unix)
    if (c == '\\') c = '/';
  MakeDirs(unix.substr(0, unix.rfind('/')));
  WriteFile(unix, bytes);
}

const char* const kBasicMachineRegistry =
    "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1\n"
    "\"SystemRoot\"=\"C:\\\\windows\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"
    "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1\n"
    "\"PATH\"=str(2):\"%SystemRoot%\\\\system32;%SystemRoot%\"\n";

}  // namespace pgl::test
