#include <windows.h>
// After windows.h, whose macros Platform.h takes back.
#include "platform/windows/WindowsPlatform.h"

#include "util/WindowsText.h"

namespace pgl {

std::string WindowsPlatform::ExpandEnvironmentStrings(std::string_view text) const {
  // The W form: the A form would turn every character outside the ANSI code page into "?".
  const std::wstring in = WideText(text);
  std::wstring out(in.size() + 256, L'\0');
  for (;;) {
    const DWORD n =
        ExpandEnvironmentStringsW(in.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (n == 0) return std::string(text);
    if (n <= out.size()) {
      out.resize(n - 1);  // without the terminating zero
      return Utf8Text(out);
    }
    out.assign(n, L'\0');
  }
}

std::optional<std::string> WindowsPlatform::SearchPath(std::string_view fileName) const {
  if (fileName.empty()) return std::nullopt;
  const std::wstring name = WideText(fileName);
  std::wstring found(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = SearchPathW(nullptr, name.c_str(), nullptr, static_cast<DWORD>(found.size()),
                                found.data(), nullptr);
    if (n == 0) return std::nullopt;
    if (n < found.size()) {
      found.resize(n);
      // SearchPath finds folders too; only a file counts.
      if (!FileExists(Utf8Text(found))) return std::nullopt;
      return Utf8Text(found);
    }
    found.assign(n, L'\0');
  }
}

bool WindowsPlatform::FileExists(std::string_view windowsPath) const {
  if (windowsPath.empty() || windowsPath.ends_with('\\') || windowsPath.ends_with('/'))
    return false;
  const DWORD attributes = GetFileAttributesW(WideText(windowsPath).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> WindowsPlatform::LocalPath(std::string_view windowsPath) const {
  if (windowsPath.empty() ||
      GetFileAttributesW(WideText(windowsPath).c_str()) == INVALID_FILE_ATTRIBUTES)
    return std::nullopt;
  return std::string(windowsPath);
}

}  // namespace pgl
