// libFuzzer target: the registry script reader and the restore built on it must take any bytes
// without crashing, and a restore must never make a key outside the programs' places.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "inventory/Restore.h"
#include "registry/RegScript.h"

namespace {

// Whether every key below `key` lies on the way to, or inside, one of the places' keys.
bool OnlyAllowedKeys(const pgl::RegKey& key, std::vector<std::u16string>& path,
                     const std::vector<std::vector<std::u16string>>& allowed) {
  bool onTheWay = false;
  for (const auto& place : allowed) {
    bool match = true;
    for (std::size_t i = 0; i < path.size() && i < place.size(); ++i)
      match = match && pgl::RegNamesEqual(path[i], place[i]);
    onTheWay |= match;
  }
  if (!onTheWay) return false;
  for (const auto& sub : key.SubKeys()) {
    path.push_back(sub->Name());
    const bool ok = OnlyAllowedKeys(*sub, path, allowed);
    path.pop_back();
    if (!ok) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  (void)pgl::ParseRegScript(
      bytes, 1250,
      [](pgl::ScriptKey&& key) {
        if (key.rootName.empty()) __builtin_trap();
        for (const auto& value : key.values)
          if (value.data.size() > pgl::kMaxScriptValueBytes) __builtin_trap();
      },
      error);
  pgl::MemoryRegistry registry;
  pgl::RestorePlan plan;
  if (!pgl::PlanRestore(registry, bytes, 1252, plan, error)) return 0;
  if (!pgl::ApplyRestore(registry, plan, pgl::Language::English, error)) return 0;
  for (const auto& place : pgl::UninstallPlaces()) {
    std::vector<std::vector<std::u16string>> allowed;
    for (const auto& other : pgl::UninstallPlaces())
      if (other.root == place.root) {
        allowed.push_back(pgl::SplitRegPath(other.uninstallKey));
        allowed.push_back(pgl::SplitRegPath(other.arpCacheKey));
      }
    std::vector<std::u16string> path;
    if (!OnlyAllowedKeys(*registry.Hive(place.root), path, allowed)) __builtin_trap();
  }
  return 0;
}
