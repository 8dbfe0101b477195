// What the information panel shows and what its labels may open, without Qt.
#pragma once

#include <optional>
#include <string>

#include "inventory/UCollection.h"
#include "registry/RegistryStore.h"

namespace pgl {

// The text a link label hands to the desktop: web addresses only (http, https and ftp, and
// "www." names as http). Anything else from the registry (a local program, a command, a
// "file:" or "javascript:" address) is never opened.
std::optional<std::string> WebAddressToOpen(const std::string& text);

// The folder part of a program file's path (Ctrl + click on the program file), after
// trimming blanks; empty when the text has no folder.
std::string FolderOfFile(const std::string& text);

// Text with blanks and control characters (code 32 or less) cut from both ends.
std::string TrimBlanks(const std::string& text);

// The entry's two keys with their full root names, each only while it exists in the
// registry ("HKEY_LOCAL_MACHINE\SOFTWARE\...\Uninstall\Name"); empty otherwise.
struct EntryKeyTexts {
  std::string uninstallKey;
  std::string arpCacheKey;
};
EntryKeyTexts ExistingEntryKeys(RegistryStore& registry, const TUninstallInfo& info);

}  // namespace pgl
