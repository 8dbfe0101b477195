// Feeds arbitrary bytes to the PE and .ico icon reader: it must never read out of bounds,
// and every image it hands over must read back as an .ico file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/IconReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const pgl::IconReader reader(std::string(reinterpret_cast<const char*>(data), size));
  (void)pgl::ReadPeInfo(std::string_view(reinterpret_cast<const char*>(data), size));
  for (int index : {0, 1, -1, -5, -101}) {
    for (bool small : {false, true}) {
      const auto image = reader.Extract(index, small);
      if (image && !pgl::IconReader(image->ico).Extract(0, small)) std::abort();
    }
    (void)reader.GroupAsIco(index);
  }
  return 0;
}
