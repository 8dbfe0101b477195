// The program's own folders on Windows.
#include <windows.h>

#include <cstdlib>

#include "platform/AppFiles.h"
#include "util/WindowsText.h"

namespace pgl {

std::string ExecutableDir() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? "." : Utf8Text(path.substr(0, slash));
}

namespace {

// Whether files may be created in the folder (its ACL, not just its read-only flag).
bool CanCreateFilesIn(const std::wstring& dir) {
  const std::wstring probe = dir + L"\\pgl-write-test.tmp";
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace

std::string ProgramFilesDir() {
  const std::string exeDir = ExecutableDir();
  if (CanCreateFilesIn(WideText(exeDir))) return exeDir;
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (!appData || !*appData) return exeDir;
  const std::wstring dir = std::wstring(appData) + L"\\Purgelet";
  CreateDirectoryW(dir.c_str(), nullptr);
  return Utf8Text(dir);
}

}  // namespace pgl
