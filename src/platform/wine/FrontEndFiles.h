// Readers of the small text files that Wine's front ends keep: Valve's KeyValues (Steam's
// library list and manifests), a string in a JSON text (Heroic), and the line-by-line YAML and
// shell-style settings of Bottles, Lutris and PlayOnLinux. They take any bytes: a front end's
// file can be written by programs running in the prefix.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pgl {

// The first string value of "key" in a JSON text (Heroic's game settings), its escapes decoded
// (a surrogate pair as one character); nothing when there is none or the text breaks off.
std::optional<std::string> JsonStringValue(std::string_view text, std::string_view key);

// Reads Valve's KeyValues text (libraryfolders.vdf, appmanifest_*.acf): "key" "value" pairs
// and "key" { ... } blocks. Each value is handed to `visit` with the keys of the blocks around
// it, as it is read: memory stays in proportion to the nesting, not to the text. False for a
// text that is not one, or whose blocks nest deeper than kMaxKeyValueDepth (Steam's own files
// nest a few levels); values already handed over are then to be dropped.
using KeyValueVisitor = std::function<void(const std::vector<std::string>& path,
                                           const std::string& key, const std::string& value)>;
inline constexpr std::size_t kMaxKeyValueDepth = 32;
bool ReadKeyValues(std::string_view text, const KeyValueVisitor& visit);

// The text without blanks, tabs and line ends around it.
std::string Trim(std::string s);
// A YAML scalar as the front ends write them: plain, or in single or double quotes.
std::string YamlScalar(std::string s);
// A runner's or Wine version's name as a front end's file gives it: one folder name, which
// cannot lead out of the folder it is looked up in.
bool IsFolderName(const std::string& name);

}  // namespace pgl
