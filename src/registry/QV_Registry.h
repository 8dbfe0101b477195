// One-call registry operations: each creates its own accessor, opens one key, does one
// thing and frees the accessor, whatever happens.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryStore.h"

namespace pgl {

bool RegEnsureKey(RegistryStore& store, RootKey root, std::string_view path);
bool RegValueExists(RegistryStore& store, RootKey root, std::string_view path,
                    std::string_view name);
bool RegKeyExists(RegistryStore& store, RootKey root, std::string_view path);
bool RegWriteString(RegistryStore& store, RootKey root, std::string_view path,
                    std::string_view name, std::string_view text);
bool RegWriteInteger(RegistryStore& store, RootKey root, std::string_view path,
                     std::string_view name, std::int32_t value);
// Adds delta to a DWORD value (32-bit wrap-around), or creates it with delta; a value of
// another type is left alone and the answer is false.
bool RegIncInteger(RegistryStore& store, RootKey root, std::string_view path, std::string_view name,
                   std::int32_t delta);
bool RegRemoveKey(RegistryStore& store, RootKey root, std::string_view path);
// Full paths of every key below `path`: each key's children together as a block, the blocks
// visited depth first in enumeration order. A missing key leaves `result` unchanged.
void RegGetSubKeyTree(RegistryStore& store, RootKey root, std::string_view path,
                      std::vector<std::string>& result);

}  // namespace pgl
