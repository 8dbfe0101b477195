// What the folders of the home are, for the search for Wine prefixes: folders, files and links
// as they are now (a missing one is none of them), and a folder's entries.
#pragma once

#include <string>
#include <vector>

#include "platform/wine/WinePrefixes.h"

namespace pgl::homefolders {

bool IsDir(const std::string& path);   // links followed
bool IsFile(const std::string& path);  // a regular file, links followed
bool IsLink(const std::string& path);  // the path itself is a link
// A folder holding a system.reg: a Wine prefix.
bool IsPrefix(const std::string& dir);
// The folder's entries (no "." or ".."), sorted; none when it cannot be read.
std::vector<std::string> Entries(const std::string& dir);
// The path with every link resolved; the path as given where it cannot be.
std::string Canonical(const std::string& path);

// A game Heroic runs with Proton: Proton makes the prefix in a "pfx" folder (no link) inside the
// one Heroic names, beside its own files. The prefix is taken from there, and removing it moves
// Heroic's folder. Nothing changes for a prefix that is its folder.
void TakeProtonPfx(FoundPrefix& p);

}  // namespace pgl::homefolders
