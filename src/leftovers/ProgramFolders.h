// Where a program lives and what points into it: its install folder as the registry names it,
// the system and shared folders no program owns, and the other programs' folders.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "inventory/UCollection.h"
#include "leftovers/Leftovers.h"
#include "leftovers/PlaceGuard.h"
#include "registry/RegTree.h"

namespace pgl::leftovers {

bool Generic(const std::string& name);

std::string ValueText(const RegKey* key, std::u16string_view name);

std::string ShellFolder(const LeftoverScope& scope, RootKey root, std::u16string_view name);

// A Windows folder no program owns, judged where Wine finds it: a system, shell or profile
// folder, one holding such a folder, or one outside drive C:. A folder that is not there
// cannot be judged and counts as one.
bool IsSystemFolder(const LeftoverScope& scope, const PlaceGuard& guard, const std::string& path);

// The system's own folders by their names alone: what another program's folder may not be.
bool IsWindowsOwnByName(const std::string& path);

std::string Expand(const LeftoverScope& scope, std::string text);

// Where the program lives: InstallLocation, else its uninstaller's folder, else its icon's,
// else its usage record's program file's; a system or shared folder is none.
std::string InstallFolderOf(const LeftoverScope& scope, const PlaceGuard* guard,
                            const TUninstallInfo& entry);

// The install folders of the other programs listed.
// Their folders are only ever kept out of the offer, so a folder that is only judged by its
// spelling may count among them; a drive's root never does, or nothing would be offered.
std::vector<std::string> OthersFolders(const LeftoverScope& scope, const std::string& entryKey);

bool PointsInto(const LeftoverScope& scope, const std::string& text, const std::string& folder);

}  // namespace pgl::leftovers
