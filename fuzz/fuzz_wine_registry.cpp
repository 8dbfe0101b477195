// Feeds arbitrary bytes to the Wine registry file reader. Whatever it reads as fully
// understood must come back from the writer as the same keys and values: the writer's output
// is understood by the reader, and holds the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "registry/WineRegFile.h"

namespace {

bool SameTree(const pgl::RegKey& a, const pgl::RegKey& b) {
  if (a.Name() != b.Name() || a.className != b.className || a.isLink != b.isLink ||
      a.SubKeys().size() != b.SubKeys().size() || a.Values().size() != b.Values().size())
    return false;
  for (std::size_t i = 0; i < a.Values().size(); ++i) {
    const auto& x = a.Values()[i];
    const auto& y = b.Values()[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  for (std::size_t i = 0; i < a.SubKeys().size(); ++i)
    if (!SameTree(*a.SubKeys()[i], *b.SubKeys()[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  pgl::WineHive hive;
  const auto result = pgl::ParseWineRegistry(bytes, hive);
  const std::string written = pgl::WriteWineRegistry(hive);
  if (result.Understood()) {
    pgl::WineHive again;
    if (!pgl::ParseWineRegistry(written, again).Understood()) std::abort();
    if (!SameTree(*hive.root, *again.root)) std::abort();
  }
  return 0;
}
