// Removing the leftovers the user chose: registry items exported first and deleted only where
// the export gives them back exactly, files and folders moved to the trash from a walk that
// follows no link, each judged again as it is now.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "leftovers/Leftovers.h"
#include "leftovers/PlaceGuard.h"
#include "leftovers/StockPrefix.h"
#include "platform/Trash.h"
#include "registry/KeySnapshot.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"
#include "registry/RegScript.h"
#include "util/FileIO.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {

namespace {

std::string Fold(std::string_view utf8) {
  return Utf16ToUtf8(FoldRegName(Utf8ToUtf16(utf8)));
}

std::string ExportHash(std::string_view bytes) {
  std::uint64_t hash = 1469598103934665603ull;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char text[24];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

enum class Msg { WinesKey, LineBreak, ExportNotWritten, NotGivenBack, WayChanged, NotFound, Count };

constexpr Message<Msg> kMessages[] = {
    {Msg::WinesKey, {"a key of Wine's own", "klucz samego Wine"}},
    {Msg::LineBreak,
     {"a name in it has a line break, which no registry script can hold, so it could not be "
      "put back",
      "nazwa w nim zawiera znak końca wiersza, którego nie zapisze żaden skrypt rejestru, więc "
      "nie dałoby się go przywrócić"}},
    {Msg::ExportNotWritten,
     {"the keys' export could not be written: %1", "nie zapisano kopii kluczy: %1"}},
    {Msg::NotGivenBack,
     {"its export would not give it back exactly, so it was kept",
      "jego kopia nie przywróciłaby go dokładnie, więc został"}},
    {Msg::WayChanged,
     {"a folder on its way was changed since it was found; it was not moved",
      "folder na drodze do niego zmienił się od wyszukania; nie przeniesiono go"}},
    {Msg::NotFound, {"it was not found by the search", "wyszukiwanie go nie znalazło"}},
};
static_assert(IsMessageTable(kMessages));

void Fail(std::vector<LeftoverFailure>& failures, const std::string& item, const Translations& why,
          Language lang, const std::string& detail = {}) {
  failures.push_back({item, Fill(why.In(lang), {detail})});
}

void Fail(std::vector<LeftoverFailure>& failures, const std::string& item, Msg id, Language lang,
          const std::string& detail = {}) {
  Fail(failures, item, kMessages[static_cast<std::size_t>(id)].text, lang, detail);
}

bool HasLineBreak(std::u16string_view name) {
  return name.find_first_of(u"\r\n") != std::u16string_view::npos;
}

// Whether a name in the key, or below it, has a line break.
bool AnyLineBreak(const RegKey& key) {
  if (HasLineBreak(key.Name())) return true;
  for (const RegValue& v : key.Values())
    if (HasLineBreak(v.Name())) return true;
  for (const auto& sub : key.SubKeys())
    if (AnyLineBreak(*sub)) return true;
  return false;
}

// Text comes back from a script with its terminating zero, whether or not the registry had one.
bool SameValue(const RegValue& a, const RegValue& b) {
  if (a.type != b.type) return false;
  std::string aBytes, bBytes;
  std::string_view x = a.Data(aBytes), y = b.Data(bBytes);
  if (a.type == kRegSz || a.type == kRegExpandSz) {
    const auto trim = [](std::string_view& d) {
      if (d.size() >= 2 && d.size() % 2 == 0 &&
          d.substr(d.size() - 2) == std::string_view("\0\0", 2))
        d.remove_suffix(2);
    };
    trim(x);
    trim(y);
  }
  return x == y;
}

bool SameKey(const RegKey& a, const RegKey& b) {
  if (a.Values().size() != b.Values().size() || a.SubKeys().size() != b.SubKeys().size())
    return false;
  for (const RegValue& v : a.Values()) {
    const RegValue* w = b.FindValue(v.Name());
    if (!w || !SameValue(v, *w)) return false;
  }
  for (const auto& sub : a.SubKeys()) {
    const RegKey* other = b.FindSubKey(sub->Name());
    if (!other || !SameKey(*sub, *other)) return false;
  }
  return true;
}

// The keys and values of a registry script, as the registry editor would import them.
bool ReadBack(std::string_view bytes, MemoryRegistry& into) {
  std::string error;
  return ParseRegScript(
      bytes, 1252,
      [&](ScriptKey&& key) {
        RegKey* at = key.root && !key.remove ? into.Hive(key.root) : nullptr;
        if (!at) return;
        for (const auto& name : key.path) at = &at->EnsureSubKey(name);
        for (const auto& v : key.values)
          if (!v.remove) at->SetValue(v.name, v.type, v.data);
      },
      error);
}

// Whether the script read back holds the item exactly as the registry does now.
bool GivesBack(RegistryStore& registry, MemoryRegistry& back, const Leftover& item) {
  const RegKey* now = FindRegKey(registry.Hive(item.root), item.key);
  const RegKey* saved = FindRegKey(back.Hive(item.root), item.key);
  if (!now || !saved) return false;
  if (item.kind == LeftoverKind::RegistryKey) return SameKey(*now, *saved);
  const RegValue* v = now->FindValue(Utf8ToUtf16(item.value));
  const RegValue* w = saved->FindValue(Utf8ToUtf16(item.value));
  return v && w && SameValue(*v, *w);
}

// The registry items that may go: not Wine's structure, every name writable in a script.
std::vector<const Leftover*> Removable(RegistryStore& registry,
                                       const std::vector<const Leftover*>& keys, Language lang,
                                       std::vector<LeftoverFailure>& failures) {
  std::vector<const Leftover*> kept;
  for (const Leftover* item : keys) {
    const RegKey* key = FindRegKey(registry.Hive(item->root), item->key);
    if (!key) continue;  // gone already
    if (item->kind == LeftoverKind::RegistryKey && IsStockKey(item->root, item->key)) {
      Fail(failures, item->Text(), Msg::WinesKey, lang);
      continue;
    }
    bool lineBreak = false;
    for (const auto& name : SplitRegPath(item->key)) lineBreak = lineBreak || HasLineBreak(name);
    lineBreak = lineBreak ||
                (item->kind == LeftoverKind::RegistryKey ? AnyLineBreak(*key)
                                                         : HasLineBreak(Utf8ToUtf16(item->value)));
    if (lineBreak) {
      Fail(failures, item->Text(), Msg::LineBreak, lang);
      continue;
    }
    kept.push_back(item);
  }
  return kept;
}

// Writes the items into `exportFile`; answers those the written file gives back exactly.
std::vector<const Leftover*> Export(RegistryStore& registry,
                                    const std::vector<const Leftover*>& keys,
                                    const std::string& exportFile, Language lang,
                                    std::vector<LeftoverFailure>& failures) {
  MemoryRegistry copy;
  std::vector<RegExportKey> exported;
  for (const Leftover* item : keys) {
    const RegKey* key = FindRegKey(registry.Hive(item->root), item->key);
    RegKey* hive = copy.Hive(item->root);
    if (!key || !hive) continue;
    std::string error;
    if (item->kind == LeftoverKind::RegistryKey) {
      if (auto snapshot = SnapshotKey(registry, item->root, item->key))
        PutBackKeys(copy, {{item->root, item->key, std::move(*snapshot)}}, error);
    } else if (const RegValue* v = key->FindValue(Utf8ToUtf16(item->value))) {
      RegKey* at = hive;
      for (const auto& name : SplitRegPath(item->key)) at = &at->EnsureSubKey(name);
      at->SetValue(v->Name(), v->type, v->Bytes());
    }
    bool listed = false;
    for (const auto& e : exported)
      listed = listed || (e.root == item->root && Fold(e.path) == Fold(item->key));
    if (!listed) exported.push_back({item->root, item->key});
  }
  std::error_code ec;
  fs::create_directories(fs::path(exportFile).parent_path(), ec);
  RegExportResult result;
  try {
    result = ExportRegistryKeys(copy, exported, exportFile, 1252);
  } catch (const std::exception& e) {
    for (const Leftover* item : keys)
      Fail(failures, item->Text(), Msg::ExportNotWritten, lang, e.what());
    return {};
  }
  // Remembered, so that a restore of it may bring back what no other script may.
  std::string ignored;
  AppendToFile(fs::path(exportFile).parent_path().string() + "/exports.txt",
               ExportHash(result.bytes) + "\n", ignored);
  MemoryRegistry back;
  const bool read = ReadBack(result.bytes, back);
  std::vector<const Leftover*> safe;
  for (const Leftover* item : keys) {
    if (read && result.leftOut.empty() && GivesBack(registry, back, *item)) {
      safe.push_back(item);
      continue;
    }
    Fail(failures, item->Text(), Msg::NotGivenBack, lang);
  }
  return safe;
}

// Deletes the items, all in one save per registry file, or none of them.
void Delete(RegistryStore& registry, const std::vector<const Leftover*>& keys, Language lang,
            std::vector<LeftoverFailure>& failures) {
  const auto failAll = [&] {
    for (const Leftover* item : keys)
      failures.push_back({item->Text(), registry.LocalizedError(lang)});
  };
  // Every registry file is checked before anything changes: all of them are written, or none.
  registry.Refresh();
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    const bool used = std::any_of(keys.begin(), keys.end(),
                                  [&](const Leftover* item) { return item->root == root; });
    if (used && !registry.BeginWrite(root)) return failAll();
  }
  registry.HoldCommits();
  bool ok = true;
  for (const Leftover* item : keys)
    if (item->kind == LeftoverKind::RegistryKey && RegKeyExists(registry, item->root, item->key))
      ok = RegRemoveKey(registry, item->root, item->key) && ok;
  // A value goes by making its key again without it (the stores save whole keys).
  std::set<std::pair<RootKey, std::string>> done;
  for (const Leftover* item : keys) {
    if (item->kind != LeftoverKind::RegistryValue ||
        !done.insert({item->root, Fold(item->key)}).second)
      continue;
    auto snapshot = SnapshotKey(registry, item->root, item->key);
    if (!snapshot) continue;
    std::erase_if(snapshot->values, [&](const RegValue& v) {
      return std::any_of(keys.begin(), keys.end(), [&](const Leftover* other) {
        return other->kind == LeftoverKind::RegistryValue && other->root == item->root &&
               Fold(other->key) == Fold(item->key) &&
               RegNamesEqual(v.Name(), Utf8ToUtf16(other->value));
      });
    });
    const std::string parentPath = item->key.substr(0, item->key.find_last_of('\\'));
    ok = RegRemoveKey(registry, item->root, item->key) && ok;
    RegKey* parent = registry.BeginWrite(item->root)
                         ? FindRegKey(registry.Hive(item->root), parentPath)
                         : nullptr;
    if (!parent) {
      ok = false;
      continue;
    }
    MakeSnapshotKey(registry, item->root, *parent, *snapshot);
    ok = registry.Commit(item->root) && ok;
  }
  if (!registry.CommitHeld() || !ok) failAll();
}

void RemoveRegistryItems(const LeftoverScope& scope, const std::vector<const Leftover*>& items,
                         const std::string& exportFile, Language lang,
                         std::vector<LeftoverFailure>& failures) {
  if (items.empty() || !scope.registry) return;
  RegistryStore& registry = *scope.registry;
  const auto removable = Removable(registry, items, lang, failures);
  if (removable.empty()) return;
  const auto safe = Export(registry, removable, exportFile, lang, failures);
  if (!safe.empty()) Delete(registry, safe, lang, failures);
}

void RemoveFileItems(const LeftoverScope& scope, std::vector<const Leftover*> items, Language lang,
                     std::vector<LeftoverFailure>& failures) {
  if (items.empty()) return;
  // Files, then folders from the deepest: what a folder held goes first.
  std::stable_sort(items.begin(), items.end(), [](const Leftover* a, const Leftover* b) {
    const bool fa = a->kind == LeftoverKind::Folder, fb = b->kind == LeftoverKind::Folder;
    if (fa != fb) return !fa;
    return fa && a->path.size() > b->path.size();
  });
  const PlaceGuard guard(scope);
  for (const Leftover* item : items) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(item->path, ec))) continue;  // went with a folder
    // Judged again as it is now: a link put on its way since makes it another place.
    const std::string place = HostPlace(item->path);
    if (place != item->path) {
      Fail(failures, item->path, Msg::WayChanged, lang);
      continue;
    }
    if (const Refusal refusal = guard.Judge(place, item->kind)) {
      Fail(failures, item->path, refusal.why, lang);
      continue;
    }
    std::string error;
    if (item->id == FileId{} || !MoveToTrashBeneath(guard.RootOf(place), place, item->id, error))
      failures.push_back(
          {item->path, error.empty() ? MessageIn(kMessages, Msg::NotFound, lang) : error});
  }
}

}  // namespace

bool IsOurLeftoversExport(const std::string& folder, std::string_view bytes) {
  const std::string known = ReadFileStart(folder + "/exports.txt", 16u << 20);
  const std::string hash = ExportHash(bytes) + "\n";
  return known.starts_with(hash) || known.find("\n" + hash) != std::string::npos;
}

std::vector<LeftoverFailure> RemoveLeftovers(const LeftoverScope& scope,
                                             const std::vector<Leftover>& items,
                                             const std::string& exportFile, Language lang) {
  std::vector<LeftoverFailure> failures;
  std::vector<const Leftover*> keys, files;
  for (const auto& item : items) (item.IsRegistry() ? keys : files).push_back(&item);
  RemoveRegistryItems(scope, keys, exportFile, lang, failures);
  RemoveFileItems(scope, std::move(files), lang, failures);
  return failures;
}

}  // namespace pgl
