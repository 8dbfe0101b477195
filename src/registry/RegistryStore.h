// Where the registry's keys live: the real registry, a Wine prefix's files, or memory.
#pragma once

#include <cstdint>
#include <string>

#include "lang/Language.h"
#include "registry/RegTree.h"

namespace pgl {

class RegistryStore {
 public:
  virtual ~RegistryStore() = default;

  // The top key of a root, or null where this store has no such root. Pointers into the
  // tree stay valid until Generation() changes.
  virtual RegKey* Hive(RootKey root) = 0;

  // Makes the root's tree ready for a change (it may be reloaded first). False, with
  // LastError() set, where the root may not be written now.
  virtual bool BeginWrite(RootKey root) = 0;
  // Makes the change durable. False, with LastError() set and the change undone, where it
  // could not be saved.
  virtual bool Commit(RootKey root) = 0;

  // Changes whenever a tree is replaced (reloaded), which invalidates key pointers.
  virtual std::uint64_t Generation() const = 0;
  virtual const std::string& LastError() const = 0;
  // The same in the user's language where the store has it (English otherwise).
  virtual std::string LocalizedError(Language /*lang*/) const { return LastError(); }

  // Why no change can be made now (Wine runs in the prefix, say), in the language asked for;
  // empty when one can. Asked without changing anything.
  virtual std::string WhyUnchangeable(Language /*lang*/) const { return ""; }

  // Whether the system is 64-bit, and so keeps 32-bit programs' keys under Wow6432Node.
  virtual bool Is64BitSystem() const { return true; }
  // Reads again what others changed since it was read (Wine saving its registry, say).
  // Answers whether anything was reloaded; key pointers are then invalid.
  virtual bool Refresh() { return false; }
  // Reads the keys a store left unread so far (one that read only what a list needs); key
  // pointers are then invalid.
  virtual void ReadEverything() {}

  // Told of each change made to a root's tree between BeginWrite and Commit, for stores that
  // save the changes one by one rather than whole trees. `key` is the added key, the key whose
  // value was set, or the parent of the removed key.
  virtual void KeyAdded(RootKey /*root*/, const RegKey& /*key*/) {}
  virtual void ValueSet(RootKey /*root*/, const RegKey& /*key*/, const RegValue& /*value*/) {}
  virtual void KeyRemoved(RootKey /*root*/, const RegKey& /*parent*/,
                          std::u16string_view /*name*/) {}

  // Commits made from HoldCommits on are held back and made once per root by CommitHeld (a
  // run of small writes then saves each file once). CommitHeld answers false, with the held
  // changes undone, where a save failed.
  virtual void HoldCommits() {}
  virtual bool CommitHeld() { return true; }
};

// A registry held in memory: the tests' fixture and the base of file-backed stores.
class MemoryRegistry : public RegistryStore {
 public:
  MemoryRegistry();

  RegKey* Hive(RootKey root) override;
  bool BeginWrite(RootKey root) override;
  bool Commit(RootKey root) override { return Hive(root) != nullptr; }
  std::uint64_t Generation() const override { return 0; }
  const std::string& LastError() const override { return error_; }

  // Test seam: a root that refuses writes, as a key the user may only read.
  void SetWritable(RootKey root, bool writable);
  bool Is64BitSystem() const override { return is64Bit_; }
  void Set64BitSystem(bool value) { is64Bit_ = value; }
  // Fills a root from text in Wine's registry file format; answers false on a broken text.
  bool LoadWineText(RootKey root, std::string_view text);

 private:
  std::unique_ptr<RegKey> machine_, user_;
  bool machineWritable_ = true, userWritable_ = true, is64Bit_ = true;
  std::string error_;
};

}  // namespace pgl
