#include "platform/windows/WindowsDesktop.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "util/WindowsText.h"

namespace pgl {

namespace {

bool ShellOpen(const std::wstring& what) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", what.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace

bool WindowsDesktop::OpenAddress(const std::string& url) {
  return ShellOpen(WideText(url));
}

bool WindowsDesktop::OpenFile(const std::string& windowsPath) {
  const std::wstring path = WideText(windowsPath);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return ShellOpen(path);
}

bool WindowsDesktop::JumpToRegistryKey(const std::string& keyPath) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", 0, nullptr,
                      0, KEY_SET_VALUE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring key = L"Computer\\" + WideText(keyPath);
  const LSTATUS status =
      RegSetValueExW(h, L"LastKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(key.c_str()),
                     static_cast<DWORD>((key.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  if (status != ERROR_SUCCESS) return false;
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", L"regedit.exe", nullptr, nullptr, SW_SHOWMAXIMIZED));
  return result > 32;
}

}  // namespace pgl
