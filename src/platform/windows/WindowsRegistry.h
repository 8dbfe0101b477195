// The real registry of the Windows machine we run on, through advapi32. Keys are read when
// first asked for and kept until the registry changes and Refresh is called; changes are saved
// call by call at Commit.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"

namespace pgl {

class WindowsRegistry : public RegistryStore, private RegKeyLoader {
 public:
  WindowsRegistry() = default;
  ~WindowsRegistry() override;
  WindowsRegistry(const WindowsRegistry&) = delete;
  WindowsRegistry& operator=(const WindowsRegistry&) = delete;

  RegKey* Hive(RootKey root) override;
  bool BeginWrite(RootKey root) override;
  bool Commit(RootKey root) override;
  std::uint64_t Generation() const override { return generation_; }
  const std::string& LastError() const override { return error_; }
  bool Is64BitSystem() const override;
  // Reads a root again when anything in it changed since it was read (the system tells us);
  // answers whether anything was.
  bool Refresh() override;
  void HoldCommits() override { holding_ = true; }
  bool CommitHeld() override;

  void KeyAdded(RootKey root, const RegKey& key) override;
  void ValueSet(RootKey root, const RegKey& key, const RegValue& value) override;
  void KeyRemoved(RootKey root, const RegKey& parent, std::u16string_view name) override;

 private:
  struct Change {
    enum class Kind { AddKey, SetValue, RemoveKey } kind;
    RootKey root;
    std::u16string path;  // of the key, or of the removed key's parent
    std::u16string name;  // the value's or the removed key's name
    std::uint32_t type = 0;
    std::string data;
  };

  void Load(RegKey& key) override;
  RootKey RootOf(const RegKey& key) const;
  bool Apply(const Change& change);
  bool CommitRoot(RootKey root);
  void Forget(RootKey root);
  // Asks the system to tell when anything below the root changes.
  void Watch(RootKey root);

  // Per root: the open root key being watched and the event the system sets on a change.
  struct Watcher {
    void* key = nullptr;
    void* changed = nullptr;
  };

  std::map<RootKey, std::unique_ptr<RegKey>> trees_;
  std::map<RootKey, bool> writable_;
  std::map<RootKey, Watcher> watchers_;
  std::vector<Change> pending_;
  bool holding_ = false;
  std::uint64_t generation_ = 1;
  std::string error_;
};

}  // namespace pgl
