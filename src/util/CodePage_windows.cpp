// Code pages through the system's own conversion tables.
#include <windows.h>

#include "util/CodePage.h"
#include "util/WindowsText.h"

namespace pgl {

int UserAnsiCodePage() {
  return static_cast<int>(GetACP());
}

bool EncodeNonAsciiToCodePage(std::string_view utf8, int codePage, std::string& out) {
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                          nullptr, 0) <= 0)
    return false;  // the UTF-8 itself was broken
  const std::wstring wide = WideText(utf8);
  // No best-fit mapping ("ł" must not quietly become "l"), and a character without an exact
  // equivalent fails the whole text.
  BOOL usedDefault = FALSE;
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int n = WideCharToMultiByte(static_cast<UINT>(codePage), flags, wide.data(),
                                    static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(static_cast<UINT>(codePage), flags, wide.data(),
                      static_cast<int>(wide.size()), out.data(), n, nullptr, &usedDefault);
  if (usedDefault) {
    out.clear();
    return false;
  }
  return true;
}

bool DecodeNonAsciiFromCodePage(std::string_view bytes, int codePage, std::u16string& out) {
  out.clear();
  if (bytes.empty()) return true;
  // A byte without a character in the code page fails the whole text.
  const int n = MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(static_cast<UINT>(codePage), MB_ERR_INVALID_CHARS, bytes.data(),
                      static_cast<int>(bytes.size()), wide.data(), n);
  out.assign(wide.begin(), wide.end());
  return true;
}

}  // namespace pgl
