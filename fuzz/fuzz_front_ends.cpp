// libFuzzer target: the readers of the front ends' files (Steam's KeyValues text and binary
// shortcut lists, Heroic's JSON, Bottles' and Lutris' YAML)
// must take any bytes without crashing or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wine/FrontEndFiles.h"
#include "platform/wine/WinePrefixes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Nesting never goes past its bound, whatever the text.
  (void)pgl::ReadKeyValues(
      text, [](const std::vector<std::string>& path, const std::string&, const std::string&) {
        if (path.size() > pgl::kMaxKeyValueDepth) __builtin_trap();
      });
  for (const char* key : {"winePrefix", "bin", "type"}) (void)pgl::JsonStringValue(text, key);
  // Heroic's lists: every member of every object, in one pass.
  (void)pgl::ReadJsonStringMembers(
      text, [](std::size_t, const std::string&, const std::string&) { return true; });
  // Bottles' and Lutris' YAML settings.
  (void)pgl::ReadYamlScalars(text, {{"game", "prefix"}, {"Name"}, {"custom_bottles_path"}});
  // Steam's binary shortcut list.
  (void)pgl::ReadSteamShortcuts(text);
  return 0;
}
