// Paths as the leftovers search compares them: Windows paths by their parts, case folded as
// the registry folds names; host paths by their text (callers resolve them first).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pgl::leftovers {

std::string Fold(std::string_view utf8);

// A Windows path with backslashes and no trailing one (but "C:\").
std::string WinNorm(std::string path);

// The path as Windows reads it: "." and ".." taken out part by part, the blanks and dots that
// end its last part dropped.
std::string WinLexical(const std::string& path);

bool WinInside(const std::string& path, const std::string& folder);

std::string WinParent(const std::string& path);

std::string WinLeaf(const std::string& path);

bool UnixInside(const std::string& path, const std::string& folder);

bool Exists(const std::string& path);

std::uint64_t SizeOf(const std::string& path);

// The entries of a folder, folded, with their real names.
std::vector<std::pair<std::string, std::string>> Children(const std::string& folder);

std::string Child(const std::string& folder, const std::string& name);

}  // namespace pgl::leftovers
