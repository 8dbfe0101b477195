// "pgl_relaunching FILE": starts a copy of itself and ends at once; the copy waits a moment,
// then writes FILE. An uninstaller that hands over to a copy of itself behaves so.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--copy") {
    Sleep(1500);
    const HANDLE h = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(h, "done", 4, &written, nullptr);
    CloseHandle(h);
    return 0;
  }
  if (argc != 2) return 2;
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(self) + L"\" --copy \"" + argv[1] + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 3;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 5;
}
