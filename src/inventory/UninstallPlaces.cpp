#include "inventory/UninstallPlaces.h"

#include <algorithm>
#include <cctype>

#include "registry/QV_Registry.h"

namespace pgl {

const std::array<UninstallPlace, kUninstallViewCount>& UninstallPlaces() {
  static const std::array<UninstallPlace, kUninstallViewCount> places = {{
      {UninstallView::Machine, kHkeyLocalMachine,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache", "HKLM"},
      {UninstallView::Machine32, kHkeyLocalMachine,
       "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache",
       "HKLM"},
      {UninstallView::User, kHkeyCurrentUser,
       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
       "Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache", "HKCU"},
  }};
  return places;
}

const UninstallPlace& PlaceOf(UninstallView view) {
  return UninstallPlaces()[static_cast<std::size_t>(view)];
}

bool HasView(RegistryStore& registry, UninstallView view) {
  if (view == UninstallView::Machine32) return registry.Is64BitSystem();
  return true;
}

std::string UninstallKeyPath(UninstallView view, std::string_view keyName) {
  return std::string(PlaceOf(view).uninstallKey) + "\\" + std::string(keyName);
}

std::string ARPCacheKeyPath(UninstallView view, std::string_view keyName) {
  return std::string(PlaceOf(view).arpCacheKey) + "\\" + std::string(keyName);
}

std::string EntryKeyText(UninstallView view, std::string_view keyName) {
  return std::string(PlaceOf(view).rootShort) + "\\" + UninstallKeyPath(view, keyName);
}

std::vector<RegExportKey> BackupKeys(RegistryStore& registry) {
  std::vector<RegExportKey> keys;
  for (const UninstallPlace& place : UninstallPlaces())
    if (HasView(registry, place.view) && RegKeyExists(registry, place.root, place.uninstallKey))
      keys.push_back({place.root, place.uninstallKey});
  // The usage records too: a restore after a removal brings back both keys of an entry.
  for (const UninstallPlace& place : UninstallPlaces())
    if (HasView(registry, place.view) && RegKeyExists(registry, place.root, place.arpCacheKey))
      keys.push_back({place.root, place.arpCacheKey});
  if (keys.empty())
    keys.push_back({kHkeyLocalMachine, PlaceOf(UninstallView::Machine).uninstallKey});
  return keys;
}

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

}  // namespace

std::optional<EntryKeyRef> ParseEntryKeyText(std::string_view text) {
  for (const UninstallPlace& place : UninstallPlaces()) {
    const std::string longRoot =
        place.root == kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    for (const std::string& root : {std::string(place.rootShort), longRoot}) {
      const std::string prefix = root + "\\" + place.uninstallKey + "\\";
      if (!StartsWithNoCase(text, prefix)) continue;
      std::string_view name = text.substr(prefix.size());
      if (name.empty() || name.find('\\') != std::string_view::npos) return std::nullopt;
      return EntryKeyRef{place.view, std::string(name)};
    }
  }
  return std::nullopt;
}

std::size_t CountListedPrograms(RegistryStore& registry) {
  std::size_t count = 0;
  for (const auto& place : UninstallPlaces()) {
    if (!HasView(registry, place.view)) continue;
    if (const RegKey* key = FindRegKey(registry.Hive(place.root), place.uninstallKey))
      count += key->SubKeys().size();
  }
  return count;
}

}  // namespace pgl
