// libFuzzer target: the readers of the front ends' files (Steam's KeyValues, Heroic's JSON)
// must take any bytes without crashing or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/wine/WinePrefixes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool ok = false;
  const auto values = pgl::ReadKeyValues(text, ok);
  if (!ok && !values.empty()) __builtin_trap();
  for (const char* key : {"winePrefix", "bin", "type"}) (void)pgl::JsonStringValue(text, key);
  return 0;
}
