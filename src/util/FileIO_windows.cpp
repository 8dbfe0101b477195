// Whole-file reads and all-or-nothing writes through the Windows file API. Paths are UTF-8 and
// go to the W calls whole; the content is written through a C runtime descriptor so that
// writers stream into it as they do on Linux.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "util/FileIO.h"
#include "util/WindowsText.h"

namespace pgl {

namespace {

std::string LastErrorText() {
  return SystemErrorText(GetLastError());
}

std::wstring DirectoryOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// What the path names now: a disk file, a folder, something else (a device, a pipe), or
// nothing (INVALID_FILE_ATTRIBUTES).
DWORD AttributesOf(const std::wstring& path) {
  return GetFileAttributesW(path.c_str());
}

bool IsDiskFile(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteAllHandle(HANDLE h, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

bool ProcessIsGone(unsigned long pid) {
  const HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool gone = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
  CloseHandle(h);
  return gone;
}

// Temporary files of our saves that were killed: "<name>.pgl-<pid>-<n>" whose process is gone.
void RemoveStaleTemporaries(const std::wstring& dir, const std::wstring& name) {
  WIN32_FIND_DATAW found;
  const std::wstring stem = name + L".pgl-";
  const HANDLE find = FindFirstFileW((dir + L"\\" + stem + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring entry = found.cFileName;
    if (entry.compare(0, stem.size(), stem) != 0) continue;
    const unsigned long pid = std::wcstoul(entry.c_str() + stem.size(), nullptr, 10);
    if (pid == GetCurrentProcessId()) continue;
    if (pid == 0 || ProcessIsGone(pid)) DeleteFileW((dir + L"\\" + entry).c_str());
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

}  // namespace

bool ReadFileInPieces(const std::string& path, std::string& error, std::size_t maxBytes,
                      const std::function<void(std::uint64_t size, const FileSource&)>& read) {
  const std::wstring wide = WideText(path);
  const HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD attributes = AttributesOf(wide);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      error = "\"" + path + "\" is not a regular file.";
    else
      error = "Cannot open \"" + path + "\": " + LastErrorText();
    return false;
  }
  const struct Closer {
    HANDLE h;
    ~Closer() { CloseHandle(h); }
  } closer{h};
  if (!IsDiskFile(h)) {
    error = "\"" + path + "\" is not a regular file.";
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size)) size.QuadPart = 0;
  if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
    error = "\"" + path + "\" is too large to be read.";
    return false;
  }
  std::uint64_t total = 0;
  bool failed = false;
  const FileSource source = [&](char* into, std::size_t wanted) -> std::ptrdiff_t {
    if (failed) return -1;
    DWORD n = 0;
    if (!ReadFile(h, into, static_cast<DWORD>(std::min<std::size_t>(wanted, 1u << 30)), &n,
                  nullptr)) {
      error = "Cannot read \"" + path + "\": " + LastErrorText();
      failed = true;
      return -1;
    }
    total += n;
    if (total > maxBytes) {
      error = "\"" + path + "\" is too large to be read.";
      failed = true;
      return -1;
    }
    return static_cast<std::ptrdiff_t>(n);
  };
  read(static_cast<std::uint64_t>(size.QuadPart), source);
  return !failed;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 20));
    const int n = ::_write(fd, bytes.data(), chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error) {
  return WriteFileAtomicWith(
      path, [&](int fd) { return WriteAll(fd, bytes); }, error);
}

bool WriteFileAtomicWith(const std::string& requested, const std::function<bool(int fd)>& write,
                         std::string& error) {
  const std::wstring path = WideText(requested);
  const DWORD attributes = AttributesOf(path);
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = "Cannot write \"" + requested + "\": it is a folder.";
    return false;
  }
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) {
    error = "Cannot write \"" + requested + "\": the file is read-only.";
    return false;
  }
  if (exists) {
    // A device (a console, a pipe) is written into, never replaced.
    const HANDLE probe =
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
      error = "Cannot write \"" + requested + "\": " + LastErrorText();
      return false;
    }
    if (GetFileType(probe) != FILE_TYPE_DISK) {
      const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(probe), _O_BINARY | _O_WRONLY);
      const bool ok = fd >= 0 && write(fd);
      if (!ok) error = "Cannot write \"" + requested + "\": " + std::strerror(errno);
      if (fd >= 0)
        ::_close(fd);
      else
        CloseHandle(probe);
      return ok;
    }
    CloseHandle(probe);
  }
  const std::wstring dir = DirectoryOf(path);
  const auto slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  RemoveStaleTemporaries(dir, name);
  std::wstring temp;
  HANDLE h = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    temp = path + L".pgl-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount() + attempt);
    h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                    nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    error = "Cannot create file \"" + requested + "\": " + LastErrorText();
    return false;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
  if (fd < 0) {
    CloseHandle(h);
    DeleteFileW(temp.c_str());
    error = "Cannot write \"" + requested + "\": " + std::strerror(errno);
    return false;
  }
  const bool written = write(fd);
  const int code = errno;
  const bool flushed = written && FlushFileBuffers(h);
  const DWORD flushError = flushed ? 0 : GetLastError();
  ::_close(fd);
  if (!written || !flushed) {
    DeleteFileW(temp.c_str());
    error = "Cannot write \"" + requested +
            "\": " + (!written ? std::string(std::strerror(code)) : SystemErrorText(flushError));
    return false;
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD moveError = GetLastError();
    DeleteFileW(temp.c_str());
    error = "Cannot replace \"" + requested + "\": " + SystemErrorText(moveError);
    return false;
  }
  return true;
}

bool AppendToFile(const std::string& path, std::string_view bytes, std::string& error) {
  const HANDLE h =
      CreateFileW(WideText(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_DATA,
                  FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = "cannot open \"" + path + "\": " + LastErrorText();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!IsDiskFile(h) || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    CloseHandle(h);
    error = "\"" + path + "\" is not a regular file";
    return false;
  }
  LARGE_INTEGER start{};
  GetFileSizeEx(h, &start);
  LARGE_INTEGER end{};
  SetFilePointerEx(h, end, nullptr, FILE_END);
  if (!WriteAllHandle(h, bytes)) {
    error = "cannot write \"" + path + "\": " + LastErrorText();
    // Take back a partial append so the log holds whole errors only.
    if (SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    CloseHandle(h);
    return false;
  }
  CloseHandle(h);
  return true;
}

PathStatus StatusOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(WideText(path).c_str(), GetFileExInfoStandard, &data)) {
    const DWORD code = GetLastError();
    return {code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? PathStatus::Kind::Missing
                                                                         : PathStatus::Kind::Other,
            0};
  }
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
    return {PathStatus::Kind::Other, 0};
  return {PathStatus::Kind::RegularFile,
          (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

std::optional<FileId> IdentityOf(const std::string& path, bool followLinks) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE h =
      CreateFileW(WideText(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!known) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::string ReadFileStart(const std::string& path, std::size_t maxBytes) {
  const HANDLE h = CreateFileW(WideText(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  if (IsDiskFile(h)) {
    bytes.resize(maxBytes);
    DWORD n = 0;
    if (!ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr)) n = 0;
    bytes.resize(n);
  }
  CloseHandle(h);
  return bytes;
}

}  // namespace pgl
