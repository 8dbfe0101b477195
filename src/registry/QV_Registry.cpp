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

bool RegKeyExists(RegistryStore& store, RootKey root, std::string_view path) {
  try {
    TRegistry reg(store);
    reg.SetRootKey(root);
    return reg.KeyExists(path);
  } catch (...) {
    return false;
  }
}

namespace {

template <typename Write>
bool WriteOne(RegistryStore& store, RootKey root, std::string_view path, Write write) {
  try {
    TRegistry reg(store);
    reg.SetRootKey(root);
    if (!reg.OpenKey(path, true)) return false;
    write(reg);
    reg.CloseKey();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

bool RegWriteString(RegistryStore& store, RootKey root, std::string_view path,
                    std::string_view name, std::string_view text) {
  return WriteOne(store, root, path, [&](TRegistry& reg) { reg.WriteString(name, text); });
}

bool RegWriteInteger(RegistryStore& store, RootKey root, std::string_view path,
                     std::string_view name, std::int32_t value) {
  return WriteOne(store, root, path, [&](TRegistry& reg) { reg.WriteInteger(name, value); });
}

bool RegIncInteger(RegistryStore& store, RootKey root, std::string_view path, std::string_view name,
                   std::int32_t delta) {
  try {
    TRegistry reg(store);
    reg.SetRootKey(root);
    if (!reg.OpenKey(path, true)) return false;
    if (!reg.ValueExists(name)) {
      reg.WriteInteger(name, delta);
    } else if (reg.GetDataType(name) == TRegDataType::rdInteger) {
      const auto sum =
          static_cast<std::uint32_t>(reg.ReadInteger(name)) + static_cast<std::uint32_t>(delta);
      reg.WriteInteger(name, static_cast<std::int32_t>(sum));
    } else {
      return false;
    }
    reg.CloseKey();
    return true;
  } catch (...) {
    return false;
  }
}

bool RegRemoveKey(RegistryStore& store, RootKey root, std::string_view path) {
  try {
    TRegistry reg(store);
    reg.SetRootKey(root);
    return reg.DeleteKey(path);
  } catch (...) {
    return false;
  }
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
