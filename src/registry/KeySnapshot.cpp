#include "registry/KeySnapshot.h"

#include "registry/QV_Registry.h"
#include "util/Utf.h"

namespace pgl {

namespace {

KeySnapshot Copy(const RegKey& key) {
  KeySnapshot copy{key.Name(), key.modified, key.ClassName(), key.Values(), {}};
  copy.subkeys.reserve(key.SubKeys().size());
  for (const auto& sub : key.SubKeys()) copy.subkeys.push_back(Copy(*sub));
  return copy;
}

}  // namespace

void MakeSnapshotKey(RegistryStore& store, RootKey root, RegKey& parent, const KeySnapshot& saved) {
  RegKey& key = parent.EnsureSubKey(saved.name);
  key.SetClassName(saved.className);
  store.KeyAdded(root, key);
  for (const RegValue& value : saved.values) {
    const RegValue& set = key.SetValue(value.Name(), value.type, value.Bytes());
    store.ValueSet(root, key, set);
  }
  for (const KeySnapshot& sub : saved.subkeys) MakeSnapshotKey(store, root, key, sub);
  key.modified = saved.modified;
}

std::optional<KeySnapshot> SnapshotKey(RegistryStore& store, RootKey root, std::string_view path) {
  const RegKey* key = FindRegKey(store.Hive(root), path);
  if (!key) return std::nullopt;
  return Copy(*key);
}

namespace {

// Whether the key holds exactly what the snapshot does (times aside): a key an earlier, cut
// short put-back already made.
bool Matches(const RegKey& key, const KeySnapshot& saved) {
  if (key.Values().size() != saved.values.size() || key.SubKeys().size() != saved.subkeys.size())
    return false;
  std::string scratch;
  for (const RegValue& value : saved.values) {
    const RegValue* there = key.FindValue(value.Name());
    if (!there || there->type != value.type || !there->DataEquals(value.Data(scratch)))
      return false;
  }
  for (const KeySnapshot& sub : saved.subkeys) {
    const RegKey* there = key.FindSubKey(sub.name);
    if (!there || !Matches(*there, sub)) return false;
  }
  return true;
}

}  // namespace

PutBack PutBackKeys(RegistryStore& store, const std::vector<SavedKey>& keys, std::string& error) {
  store.Refresh();  // what others saved since counts
  std::vector<const SavedKey*> missing;
  for (const SavedKey& saved : keys) {
    const RegKey* there = FindRegKey(store.Hive(saved.root), saved.path);
    if (!there) {
      missing.push_back(&saved);
    } else if (!Matches(*there, saved.key)) {
      error = "\"" + saved.path + "\" exists again: it was changed since it was removed.";
      return PutBack::ExistsAgain;
    }
  }
  // Every registry file is checked before any changes: all of them are written, or none.
  const auto failed = [&] {
    error = store.LastError().empty() ? "the registry could not be written." : store.LastError();
    return PutBack::Failed;
  };
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser})
    for (const SavedKey* saved : missing)
      if (saved->root == root) {
        if (!store.BeginWrite(root)) return failed();
        break;
      }
  store.HoldCommits();
  bool ok = true;
  for (const SavedKey* saved : missing) {
    // The parent path is made where it went too (an Uninstall key left empty, say).
    RegKey* parent = store.BeginWrite(saved->root) ? store.Hive(saved->root) : nullptr;
    const auto parts = SplitRegPath(saved->path);
    for (std::size_t i = 0; parent && i + 1 < parts.size(); ++i) {
      RegKey* next = parent->FindSubKey(parts[i]);
      if (!next) {
        next = &parent->EnsureSubKey(parts[i]);
        next->modified = FileTimeNow();
        store.KeyAdded(saved->root, *next);
      }
      parent = next;
    }
    if (!parent) {
      ok = false;
      break;
    }
    MakeSnapshotKey(store, saved->root, *parent, saved->key);
    if (!store.Commit(saved->root)) {
      ok = false;
      break;
    }
  }
  if (!store.CommitHeld()) ok = false;
  return ok ? PutBack::Done : failed();
}

}  // namespace pgl
