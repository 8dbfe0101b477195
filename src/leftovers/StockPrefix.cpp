#include "leftovers/StockPrefix.h"

#include <array>
#include <set>
#include <string>

#include "util/Utf.h"

namespace pgl {

namespace {

// As wineboot makes them (Wine 8); the profiles' shell folders are links to the home's
// folders, or to the home itself, where the desktop has them.
constexpr StockFolder kStockFolders[] = {
    {"Program Files", false},
    {"Program Files/Common Files", false},
    {"Program Files/Common Files/Microsoft Shared", true},
    {"Program Files/Common Files/System", true},
    {"Program Files/Internet Explorer", true},
    {"Program Files/Windows Media Player", true},
    {"Program Files/Windows NT", true},
    {"Program Files (x86)", false},
    {"Program Files (x86)/Common Files", false},
    {"Program Files (x86)/Common Files/Microsoft Shared", true},
    {"Program Files (x86)/Common Files/System", true},
    {"Program Files (x86)/Internet Explorer", true},
    {"Program Files (x86)/Windows Media Player", true},
    {"Program Files (x86)/Windows NT", true},
    {"ProgramData", false},
    {"ProgramData/Microsoft", false},
    {"ProgramData/Microsoft/Windows", false},
    {"ProgramData/Microsoft/Windows/Start Menu", false},
    {"ProgramData/Microsoft/Windows/Start Menu/Programs", false},
    {"ProgramData/Microsoft/Windows/Start Menu/Programs/Administrative Tools", false},
    {"ProgramData/Microsoft/Windows/Start Menu/Programs/StartUp", false},
    {"ProgramData/Microsoft/Windows/Templates", false},
    {"users", false},
    {"users/*", false},
    {"users/*/AppData", false},
    {"users/*/AppData/Local", false},
    {"users/*/AppData/Local/Microsoft", false},
    {"users/*/AppData/Local/Microsoft/Windows", false},
    {"users/*/AppData/Local/Microsoft/Windows/History", false},
    {"users/*/AppData/Local/Microsoft/Windows/INetCache", false},
    {"users/*/AppData/Local/Microsoft/Windows/INetCookies", false},
    {"users/*/AppData/Local/Temp", false},
    {"users/*/AppData/LocalLow", false},
    {"users/*/AppData/Roaming", false},
    {"users/*/AppData/Roaming/Microsoft", false},
    {"users/*/AppData/Roaming/Microsoft/Windows", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Network Shortcuts", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Printer Shortcuts", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Recent", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/SendTo", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Start Menu", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Administrative Tools", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/StartUp", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Templates", false},
    {"users/*/AppData/Roaming/Microsoft/Windows/Themes", false},
    {"users/*/Application Data", false},
    {"users/*/Local Settings", false},
    {"users/*/My Documents", false},
    {"users/*/Start Menu", false},
    {"users/*/Temp", false},
    {"users/*/Cookies", false},
    {"windows", true},
};

struct StockKey {
  bool user;  // HKCU, else HKLM
  std::string_view path;
};
constexpr StockKey kStockKeys[] = {
#include "leftovers/StockPrefixKeys.inc"
};

std::u16string Folded(std::string_view path) {
  return FoldRegName(Utf8ToUtf16(path));
}

const std::set<std::u16string>& KeysOf(bool user) {
  static const auto build = [](bool u) {
    std::set<std::u16string> keys;
    for (const StockKey& k : kStockKeys)
      if (k.user == u) keys.insert(Folded(k.path));
    return keys;
  };
  static const std::set<std::u16string> machine = build(false), current = build(true);
  return user ? current : machine;
}

}  // namespace

std::span<const StockFolder> StockFolders() {
  return kStockFolders;
}

bool IsStockKey(RootKey root, std::string_view keyPath) {
  if (root != kHkeyCurrentUser && root != kHkeyLocalMachine) return false;
  std::u16string key = Folded(keyPath);
  while (!key.empty() && key.back() == u'\\') key.pop_back();
  const auto& keys = KeysOf(root == kHkeyCurrentUser);
  if (keys.contains(key)) return true;
  // Keys that are structure in any prefix, made or not: never a product's.
  static const std::set<std::u16string> structure = [] {
    std::set<std::u16string> names;
    for (const char* name :
         {"Software", "Software\\Wow6432Node", "Software\\Classes", "Software\\Clients",
          "Software\\Khronos", "Software\\Policies", "Software\\RegisteredApplications",
          "Software\\Microsoft", "Software\\Wine", "Software\\Wow6432Node\\Classes",
          "Software\\Wow6432Node\\Clients", "Software\\Wow6432Node\\Policies",
          "Software\\Wow6432Node\\RegisteredApplications", "Software\\Wow6432Node\\Microsoft",
          "Software\\Wow6432Node\\Wine", "Software\\Wow6432Node\\Khronos"})
      names.insert(Folded(name));
    return names;
  }();
  if (structure.contains(key)) return true;
  // The same key in the other view: Software\Wow6432Node\X and Software\X.
  const std::u16string software = Folded("Software\\"), wow = Folded("Software\\Wow6432Node");
  if (key.starts_with(wow + u"\\")) return keys.contains(software + key.substr(wow.size() + 1));
  if (key == wow) return true;
  if (key.starts_with(software)) return keys.contains(wow + u"\\" + key.substr(software.size()));
  return false;
}

}  // namespace pgl
