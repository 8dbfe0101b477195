#include "registry/RegistryStore.h"
#include "registry/WineRegFile.h"

namespace pgl {

MemoryRegistry::MemoryRegistry()
    : machine_(std::make_unique<RegKey>(u"", nullptr)),
      user_(std::make_unique<RegKey>(u"", nullptr)) {}

RegKey* MemoryRegistry::Hive(RootKey root) {
  if (root == kHkeyLocalMachine) return machine_.get();
  if (root == kHkeyCurrentUser) return user_.get();
  return nullptr;
}

bool MemoryRegistry::BeginWrite(RootKey root) {
  const bool writable = root == kHkeyLocalMachine  ? machineWritable_
                        : root == kHkeyCurrentUser ? userWritable_
                                                   : false;
  error_ = writable ? "" : "Access denied";
  return writable;
}

void MemoryRegistry::SetWritable(RootKey root, bool writable) {
  (root == kHkeyLocalMachine ? machineWritable_ : userWritable_) = writable;
}

bool MemoryRegistry::LoadWineText(RootKey root, std::string_view text) {
  std::string full;
  if (!text.starts_with("WINE REGISTRY Version 2")) {
    full = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n";
    full += text;
    text = full;
  }
  WineHive hive;
  const auto result = ParseWineRegistry(text, hive);
  if (!result.Understood()) return false;
  (root == kHkeyLocalMachine ? machine_ : user_) = std::move(hive.root);
  return true;
}

}  // namespace pgl
