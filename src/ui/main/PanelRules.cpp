#include "ui/main/PanelRules.h"

#include "inventory/UninstallPlaces.h"
#include "registry/QV_Registry.h"

namespace pgl {

namespace {

bool StartsWithNoCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::optional<std::string> WebAddressToOpen(const std::string& text) {
  const std::string address = TrimBlanks(text);
  // One word: a blank or control character inside is not part of an address we open.
  for (const char c : address)
    if (static_cast<unsigned char>(c) <= 32 || c == 0x7f) return std::nullopt;
  for (const std::string_view scheme : {"http://", "https://", "ftp://"})
    if (StartsWithNoCase(address, scheme) && address.size() > scheme.size()) return address;
  if (StartsWithNoCase(address, "www.") && address.size() > 4) return "http://" + address;
  return std::nullopt;
}

std::string FolderOfFile(const std::string& text) {
  const std::string path = TrimBlanks(text);
  const std::size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return "";
  // "C:\app.exe" keeps its root folder "C:\".
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

EntryKeyTexts ExistingEntryKeys(RegistryStore& registry, const TUninstallInfo& info) {
  EntryKeyTexts keys;
  const UninstallPlace& place = PlaceOf(info.View);
  const std::string root =
      place.root == kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
  const std::string& name = EntrySubkey(info);
  try {
    const std::string uninstall = UninstallKeyPath(info.View, name);
    if (RegKeyExists(registry, place.root, uninstall)) keys.uninstallKey = root + uninstall;
    const std::string arpCache = ARPCacheKeyPath(info.View, name);
    if (RegKeyExists(registry, place.root, arpCache)) keys.arpCacheKey = root + arpCache;
  } catch (const std::exception&) {
    // A registry that cannot be read counts as "the key does not exist".
  }
  return keys;
}

}  // namespace pgl
