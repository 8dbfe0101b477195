#include "registry/QV_Registry.h"

#include "registry/TRegistry.h"

namespace pgl {

bool RegEnsureKey(RegistryStore& store, RootKey root, std::string_view path) {
  TRegistry reg(store);
  reg.SetRootKey(root);
  const bool ok = reg.OpenKey(path, true);
  reg.CloseKey();
  return ok;
}

bool RegValueExists(RegistryStore& store, RootKey root, std::string_view path,
                    std::string_view name) {
  TRegistry reg(store);
  reg.SetRootKey(root);
  if (!reg.KeyExists(path) || !reg.OpenKeyReadOnly(path)) return false;
  const bool exists = reg.ValueExists(name);
  reg.CloseKey();
  return exists;
}

namespace {

// Runs `act` on a registry of `store` at `root`; a failure it throws answers false.
template <typename Act>
bool Guarded(RegistryStore& store, RootKey root, Act act) {
  try {
    TRegistry reg(store);
    reg.SetRootKey(root);
    return act(reg);
  } catch (...) {
    return false;
  }
}

// Opens (or makes) the key at `path` and runs `write` on it.
template <typename Write>
bool WriteOne(RegistryStore& store, RootKey root, std::string_view path, Write write) {
  return Guarded(store, root, [&](TRegistry& reg) {
    if (!reg.OpenKey(path, true)) return false;
    const bool done = write(reg);
    reg.CloseKey();
    return done;
  });
}

}  // namespace

bool RegKeyExists(RegistryStore& store, RootKey root, std::string_view path) {
  return Guarded(store, root, [&](TRegistry& reg) { return reg.KeyExists(path); });
}

bool RegWriteString(RegistryStore& store, RootKey root, std::string_view path,
                    std::string_view name, std::string_view text) {
  return WriteOne(store, root, path, [&](TRegistry& reg) {
    reg.WriteString(name, text);
    return true;
  });
}

bool RegWriteInteger(RegistryStore& store, RootKey root, std::string_view path,
                     std::string_view name, std::int32_t value) {
  return WriteOne(store, root, path, [&](TRegistry& reg) {
    reg.WriteInteger(name, value);
    return true;
  });
}

bool RegIncInteger(RegistryStore& store, RootKey root, std::string_view path, std::string_view name,
                   std::int32_t delta) {
  return WriteOne(store, root, path, [&](TRegistry& reg) {
    if (!reg.ValueExists(name)) {
      reg.WriteInteger(name, delta);
      return true;
    }
    if (reg.GetDataType(name) != TRegDataType::rdInteger) return false;
    const auto sum =
        static_cast<std::uint32_t>(reg.ReadInteger(name)) + static_cast<std::uint32_t>(delta);
    reg.WriteInteger(name, static_cast<std::int32_t>(sum));
    return true;
  });
}

bool RegRemoveKey(RegistryStore& store, RootKey root, std::string_view path) {
  return Guarded(store, root, [&](TRegistry& reg) { return reg.DeleteKey(path); });
}

namespace {

std::vector<std::string> ChildPaths(TRegistry& reg) {
  std::vector<std::string> names;
  reg.GetKeyNames(names);
  const std::string& base = reg.CurrentPath();
  for (auto& n : names) n = base.empty() ? n : base + "\\" + n;
  return names;
}

void Expand(TRegistry& reg, const std::vector<std::string>& level,
            std::vector<std::string>& result) {
  for (const auto& p : level) {
    if (!reg.KeyExists(p) || !reg.OpenKeyReadOnly(p)) continue;
    const auto children = ChildPaths(reg);
    reg.CloseKey();
    result.insert(result.end(), children.begin(), children.end());
    if (!children.empty()) Expand(reg, children, result);
  }
}

}  // namespace

void RegGetSubKeyTree(RegistryStore& store, RootKey root, std::string_view path,
                      std::vector<std::string>& result) {
  TRegistry reg(store);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(path)) return;
  result = ChildPaths(reg);
  reg.CloseKey();
  const auto direct = result;
  Expand(reg, direct, result);
}

}  // namespace pgl
