// A registry key with everything below it, held in memory, and put back as it was: what the
// window's Undo of a removal gives back. The keys are made again through the store, so a
// prefix's registry file is saved by its one safe writer (once per file).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"

namespace pgl {

struct KeySnapshot {
  std::u16string name;
  std::uint64_t modified = 0;
  std::optional<std::u16string> className;
  std::vector<RegValue> values;
  std::vector<KeySnapshot> subkeys;
};

// The key at `path` below `root` with its whole subtree; nothing where there is no such key.
std::optional<KeySnapshot> SnapshotKey(RegistryStore& store, RootKey root, std::string_view path);

struct SavedKey {
  RootKey root = kHkeyLocalMachine;
  std::string path;  // of the key itself, below the root
  KeySnapshot key;
};

// Makes `saved` below `parent` (which belongs to `root`'s tree, ready for a write), telling the
// store of each key and value.
void MakeSnapshotKey(RegistryStore& store, RootKey root, RegKey& parent, const KeySnapshot& saved);

// Makes the keys again, values and times as they were, all in one save per file; every file is
// checked before any is written. Refused, with the reason in `error`, when any of them exists
// again with other contents (something made it since) or the registry may not be written. A key
// that is there exactly as saved (an earlier put-back cut short after one file) counts as put
// back, so the rest may follow.
enum class PutBack { Done, ExistsAgain, Failed };
PutBack PutBackKeys(RegistryStore& store, const std::vector<SavedKey>& keys, std::string& error);

}  // namespace pgl
