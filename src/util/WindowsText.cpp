#include "util/WindowsText.h"

#include <windows.h>

#include <cstdio>

#include "util/Utf.h"

namespace pgl {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide characters are UTF-16 units");

std::wstring WideText(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string Utf8Text(std::wstring_view wide) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string SystemErrorText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (n > 0 && buffer) text = Utf8Text(std::wstring_view(buffer, n));
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "Error 0x%08lX", static_cast<unsigned long>(code));
    text = hex;
  }
  return text;
}

}  // namespace pgl
