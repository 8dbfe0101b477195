#include "SyntheticPrefix.h"

#include <filesystem>
#include <stdexcept>

#include "registry/WineRegFile.h"
#include "util/FileIO.h"
#include "util/Utf.h"

namespace pgl::bench {

namespace {

const char* const kMinimal =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion] 1700000000\n"
    "#time=1da1747c66d0000\n\"SystemRoot\"=\"C:\\\\windows\"\n"
    "\n[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment] 1700000000\n"
    "#time=1da1747c66d0000\n\"PATH\"=str(2):\"%SystemRoot%\\\\system32;%SystemRoot%\"\n";

const char* const kMinimalUser =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
    "#arch=win64\n";

void LoadHive(const std::string& path, const char* minimal, WineHive& hive) {
  std::string bytes, error;
  if (!ReadWholeFile(path, bytes, error)) bytes = minimal;
  if (!ParseWineRegistry(bytes, hive).Understood()) throw std::runtime_error("bad " + path);
}

RegKey& Path(RegKey& root, std::initializer_list<const char16_t*> parts) {
  RegKey* key = &root;
  for (const char16_t* p : parts) key = &key->EnsureSubKey(p);
  return *key;
}

}  // namespace

void AddPrograms(const std::string& prefixDir, int count, Shape shape) {
  namespace fs = std::filesystem;
  const std::string systemReg = prefixDir + "/system.reg";
  fs::create_directories(prefixDir + "/drive_c/windows/system32");
  fs::create_directories(prefixDir + "/dosdevices");
  if (!fs::exists(prefixDir + "/dosdevices/c:"))
    fs::create_directory_symlink("../drive_c", prefixDir + "/dosdevices/c:");
  const std::string userReg = prefixDir + "/user.reg";
  std::string error;
  WineHive hive, userHive;
  LoadHive(systemReg, kMinimal, hive);
  LoadHive(userReg, kMinimalUser, userHive);
  const std::uint64_t when = 133444736000000000ull;
  // The programs are spread over the three places: 64-bit, 32-bit and per-user.
  RegKey* places[3] = {
      &Path(*hive.root, {u"Software", u"Microsoft", u"Windows", u"CurrentVersion"}),
      &Path(*hive.root, {u"Software", u"Wow6432Node", u"Microsoft", u"Windows", u"CurrentVersion"}),
      &Path(*userHive.root, {u"Software", u"Microsoft", u"Windows", u"CurrentVersion"})};
  for (int i = 0; i < count; ++i) {
    const int place = shape == Shape::Even ? i % 3 : (i % 5 == 4 ? 1 : 0);
    const bool withUsage = shape == Shape::Even || i % 3 == 0;
    RegKey& uninstall = places[place]->EnsureSubKey(u"Uninstall");
    const std::string n = "Program " + std::to_string(i);
    const std::u16string name = Utf8ToUtf16(n);
    std::u16string dir = u"C:\\Program Files\\";
    dir += name;
    std::u16string key = u"{";
    key += Utf8ToUtf16(std::to_string(100000 + i));
    key += u"-BENCH}";
    RegKey& k = uninstall.EnsureSubKey(key);
    k.modified = when;
    const auto text = [&](const char16_t* value, const std::u16string& data) {
      k.SetValue(value, kRegSz, TextToRegData(data));
    };
    text(u"DisplayName", name + u" Caf\u00e9 Edition " + Utf8ToUtf16(std::to_string(i % 97)));
    text(u"DisplayVersion", u"1." + Utf8ToUtf16(std::to_string(i % 13)));
    text(u"Publisher", u"Publisher " + Utf8ToUtf16(std::to_string(i % 41)));
    text(u"UninstallString", u"\"" + dir + u"\\uninstall.exe\" /x");
    text(u"QuietUninstallString", u"\"" + dir + u"\\uninstall.exe\" /S");
    text(u"DisplayIcon", dir + u"\\app.exe,0");
    text(u"InstallLocation", dir);
    text(u"URLInfoAbout", u"https://example.com/" + name);
    text(u"HelpLink", u"https://example.com/help");
    text(u"InstallDate", u"20261207");
    k.SetValue(u"InstallSource", kRegExpandSz, TextToRegData(u"%TEMP%\\setup"));
    k.SetValue(u"EstimatedSize", kRegDword, DwordToRegData(12345));
    k.SetValue(u"NoModify", kRegDword, DwordToRegData(1));
    const std::string unixDir = prefixDir + "/drive_c/Program Files/" + n;
    fs::create_directories(unixDir);
    for (const char* file : {"/uninstall.exe", "/app.exe"})
      if (!WriteFileAtomic(unixDir + file, "MZ", error)) throw std::runtime_error(error);
    if (!withUsage) continue;
    RegKey& cache = places[place]->EnsureSubKey(u"App Management").EnsureSubKey(u"ARPCache");
    RegKey& c = cache.EnsureSubKey(key);
    c.modified = when;
    std::string slow(552, '\0');
    const auto put = [&](std::size_t at, std::uint64_t v, int size) {
      for (int b = 0; b < size; ++b) slow[at + b] = static_cast<char>(v >> (8 * b));
    };
    put(0, 552, 4);
    put(4, 1, 4);
    put(8, static_cast<std::uint64_t>(i) * 4096, 8);
    put(16, when + static_cast<std::uint64_t>(i) * 864000000000ull, 8);
    put(24, static_cast<std::uint64_t>(i % 17), 4);
    const std::u16string image = dir + u"\\app.exe";
    for (std::size_t u = 0; u < image.size() && 28 + 2 * u + 1 < 552; ++u)
      put(28 + 2 * u, image[u], 2);
    c.SetValue(u"SlowInfoCache", kRegBinary, slow);
  }
  if (!WriteFileAtomic(systemReg, WriteWineRegistry(hive), error) ||
      !WriteFileAtomic(userReg, WriteWineRegistry(userHive), error))
    throw std::runtime_error(error);
}

}  // namespace pgl::bench
