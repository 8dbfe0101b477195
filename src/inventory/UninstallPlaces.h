// The places where Windows keeps uninstall entries: the machine's native view, the machine's
// 32-bit view on a 64-bit system (Wow6432Node), and the current user's own installs. An entry
// is identified by its place and its key name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <vector>
#include "registry/RegExport.h"
#include "registry/RegistryStore.h"

namespace pgl {

enum class UninstallView : std::uint8_t { Machine = 0, Machine32 = 1, User = 2 };
inline constexpr std::size_t kUninstallViewCount = 3;

struct UninstallPlace {
  UninstallView view;
  RootKey root;
  const char* uninstallKey;  // below the root
  const char* arpCacheKey;   // the usage records of the same view
  const char* rootShort;     // "HKLM", "HKCU"
};

// In scan order: the native machine view first.
const std::array<UninstallPlace, kUninstallViewCount>& UninstallPlaces();
const UninstallPlace& PlaceOf(UninstallView view);

// Whether the system has this view: the 32-bit view exists only on a 64-bit system.
bool HasView(RegistryStore& registry, UninstallView view);
// How many entries the registry's Uninstall keys hold, in every place it has.
std::size_t CountListedPrograms(RegistryStore& registry);

// An entry's keys below its root.
std::string UninstallKeyPath(UninstallView view, std::string_view keyName);
std::string ARPCacheKeyPath(UninstallView view, std::string_view keyName);
// The entry's key as shown to the user and accepted back: "HKLM\SOFTWARE\...\Uninstall\Name".
std::string EntryKeyText(UninstallView view, std::string_view keyName);

// The keys a backup covers: every place's Uninstall key that exists (the machine's native key
// alone when none does), then every place's usage-record (ARPCache) key that exists.
std::vector<RegExportKey> BackupKeys(RegistryStore& registry);

struct EntryKeyRef {
  UninstallView view;
  std::string keyName;
};
// Reads a key as EntryKeyText writes it (the root as "HKLM", "HKCU" or its full name, any
// case); nothing when the text does not name a key directly below an Uninstall key.
std::optional<EntryKeyRef> ParseEntryKeyText(std::string_view text);

}  // namespace pgl
