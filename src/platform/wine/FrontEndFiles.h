// Readers of the small text files that Wine's front ends keep: Valve's KeyValues (Steam's
// library list and manifests), a string in a JSON text (Heroic), and the line-by-line YAML and
// shell-style settings of Bottles, Lutris and PlayOnLinux. They take any bytes: a front end's
// file can be written by programs running in the prefix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pgl {

// Reads a JSON text (Heroic's settings and lists of games) once, with nlohmann's parser, and
// hands every string member of every object to `visit`: the object's serial number (the same
// for members of one object), the member's name and its value, in the text's order. The
// visitor returns false to stop reading. False for a text that is not JSON or nests deeper than
// kMaxJsonDepth (values already handed over are then to be dropped).
using JsonMemberVisitor =
    std::function<bool(std::size_t object, const std::string& key, const std::string& value)>;
inline constexpr std::size_t kMaxJsonDepth = 64;
bool ReadJsonStringMembers(std::string_view text, const JsonMemberVisitor& visit);

// The games one of Heroic's lists of installed games names: each object with a string `idKey`,
// with the title it gives (Legendary's and the side-loaded games' lists give one; else the id),
// read in one pass. Nothing for a text that is not JSON.
std::optional<std::map<std::string, std::string>> HeroicListedGames(std::string_view text,
                                                                    std::string_view idKey);

// The first string value of "key" at any depth of a JSON text; nothing when there is none or the
// text is not JSON.
std::optional<std::string> JsonStringValue(std::string_view text, std::string_view key);

// Every string value of "key" at any depth of a JSON text, in order; none for a text that is not
// JSON.
std::vector<std::string> JsonStringValues(std::string_view text, std::string_view key);

// Reads Valve's KeyValues text (libraryfolders.vdf, appmanifest_*.acf): "key" "value" pairs
// and "key" { ... } blocks. Each value is handed to `visit` with the keys of the blocks around
// it, as it is read: memory stays in proportion to the nesting, not to the text. False for a
// text that is not one, or whose blocks nest deeper than kMaxKeyValueDepth (Steam's own files
// nest a few levels); values already handed over are then to be dropped.
using KeyValueVisitor = std::function<void(const std::vector<std::string>& path,
                                           const std::string& key, const std::string& value)>;
inline constexpr std::size_t kMaxKeyValueDepth = 32;
bool ReadKeyValues(std::string_view text, const KeyValueVisitor& visit);

// A game the user added to Steam (a non-Steam shortcut): its compatdata folder is named by
// `appid` (a 9 or 10-digit number), its name is the one the user gave it.
struct SteamShortcut {
  std::uint32_t appid = 0;
  std::string name;
};
// Reads Steam's binary KeyValues shortcuts.vdf (userdata/<user>/config): "shortcuts" { "0" {
// "appid" <int32> "AppName" "..." ... } ... }. Nothing for bytes that are not one or nest
// deeper than kMaxKeyValueDepth; a shortcut without an appid is left out.
std::optional<std::vector<SteamShortcut>> ReadSteamShortcuts(std::string_view bytes);

// A non-Steam shortcut's compatdata folder name: a number of 9 or 10 digits that fits 32 bits
// (Steam's own games have shorter ones). Nothing for any other name.
std::optional<std::uint32_t> SteamShortcutId(const std::string& folder);

// A Lutris game's name from its settings file's: "the-witcher-3-1234.yml" gives
// "The Witcher 3".
std::string LutrisGameName(std::string file);

// The text without blanks, tabs and line ends around it.
std::string Trim(std::string s);

// Reads a YAML text (Bottles' bottle.yml and data.yml, Lutris' game files) with yaml-cpp and
// answers the scalar at each path of mapping keys ({"game", "prefix"}), or nothing for a path
// that leads to none (a missing key, null, a list or mapping). Nothing at all for a text that is
// not YAML, or that nests deeper than kMaxYamlDepth (by its indentation or its brackets), which
// is refused before it is parsed.
inline constexpr std::size_t kMaxYamlDepth = 64;
using YamlPath = std::vector<std::string>;
std::optional<std::vector<std::optional<std::string>>> ReadYamlScalars(
    std::string_view text, const std::vector<YamlPath>& paths);
// A runner's or Wine version's name as a front end's file gives it: one folder name, which
// cannot lead out of the folder it is looked up in.
bool IsFolderName(const std::string& name);

}  // namespace pgl
