// The saves many games keep in the registry rather than in files: the keys under
// HKEY_CURRENT_USER\Software that a new prefix does not have, exported for the saves' archive
// as registry.reg, which `wine regedit registry.reg` brings back into a new prefix.
#pragma once

#include <string>
#include <vector>

#include "platform/ManagedSystem.h"
#include "registry/RegExport.h"
#include "registry/RegistryStore.h"

namespace pgl {

// Each topmost key under HKCU\Software that a new prefix does not have (a maker's key such as
// Software\Studio, whole); Wine's and Microsoft's keys and the file types (Software\Classes)
// are left out. In the registry's order.
std::vector<RegExportKey> RegistrySaveKeys(RegistryStore& registry);

// Those keys as a registry script for Wine's registry editor, values whole (the exporter the
// backups use, with a line feed in a value name written as "\n", which Wine reads); empty when
// there are none. What no script can hold is named in `leftOut`.
std::string RegistrySavesScript(RegistryStore& registry, std::vector<std::string>& leftOut);

// What a known prefix takes and what of it are saves (MeasureKnownSystem), its registry saves
// counted among them: each key RegistrySaveKeys finds is a save "folder" named by its key
// ("HKEY_CURRENT_USER\\Software\\Studio") with the bytes of its part of registry.reg.
std::optional<PrefixUsage> MeasureWithRegistrySaves(const KnownSystem& prefix);

}  // namespace pgl
