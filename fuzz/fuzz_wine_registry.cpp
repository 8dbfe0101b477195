// Feeds arbitrary bytes to the Wine registry file reader. Whatever it accepts as fully
// understood must write back to the same bytes' meaning: writing, reading and writing again
// gives the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "registry/WineRegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  pgl::WineHive hive;
  const auto result = pgl::ParseWineRegistry(bytes, hive);
  const std::string written = pgl::WriteWineRegistry(hive);
  if (result.Understood()) {
    pgl::WineHive again;
    const auto second = pgl::ParseWineRegistry(written, again);
    if (!second.isRegistryFile || pgl::WriteWineRegistry(again) != written) std::abort();
  }
  return 0;
}
