#include "leftovers/RegistrySaves.h"

#include "leftovers/StockPrefix.h"
#include "util/CodePage.h"
#include "util/Utf.h"

namespace pgl {

namespace {

constexpr int kMaxDepth = 8;  // stock keys nest a few levels; a program's own is met before

void Collect(const RegKey& key, const std::string& path, int depth,
             std::vector<RegExportKey>& keys) {
  for (const auto& sub : key.SubKeys()) {
    const std::string name = Utf16ToUtf8(sub->Name());
    if (depth == 0 &&
        (RegNamesEqual(sub->Name(), u"Microsoft") || RegNamesEqual(sub->Name(), u"Wine") ||
         RegNamesEqual(sub->Name(), u"Classes")))
      continue;
    const std::string subPath = path + "\\" + name;
    if (!IsStockKey(kHkeyCurrentUser, subPath))
      keys.push_back({kHkeyCurrentUser, subPath});
    else if (depth + 1 < kMaxDepth)
      Collect(*sub, subPath, depth + 1, keys);
  }
}

}  // namespace

std::vector<RegExportKey> RegistrySaveKeys(RegistryStore& registry) {
  std::vector<RegExportKey> keys;
  registry.ReadEverything();
  const RegKey* hive = registry.Hive(kHkeyCurrentUser);
  const RegKey* software = hive ? hive->FindSubKey(u"Software") : nullptr;
  if (software) Collect(*software, Utf16ToUtf8(software->Name()), 0, keys);
  return keys;
}

std::string RegistrySavesScript(RegistryStore& registry, std::vector<std::string>& leftOut) {
  const std::vector<RegExportKey> keys = RegistrySaveKeys(registry);
  if (keys.empty()) return "";
  RegExportResult result = BuildRegistryExport(registry, keys, UserAnsiCodePage(), true);
  leftOut = std::move(result.leftOut);
  return std::move(result.bytes);
}

std::optional<PrefixUsage> MeasureWithRegistrySaves(const KnownSystem& prefix) {
  std::optional<PrefixUsage> usage = MeasureKnownSystem(prefix);
  if (!usage) return usage;
  const auto registry = OpenKnownRegistry(prefix);
  if (!registry) return usage;
  for (const RegExportKey& key : RegistrySaveKeys(*registry)) {
    const std::uint64_t bytes =
        BuildRegistryExport(*registry, {key}, UserAnsiCodePage(), true).bytes.size();
    usage->savesBytes += bytes;
    usage->saveFolders.push_back({"HKEY_CURRENT_USER\\" + key.path, bytes});
  }
  return usage;
}

}  // namespace pgl
