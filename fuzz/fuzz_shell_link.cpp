// libFuzzer target: shortcut files and the Exec lines of .desktop files, both foreign data, must
// be read without crashing or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "leftovers/DesktopEntries.h"
#include "leftovers/ShellLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // The target is two texts of the file (its base and suffix, whose offsets may name the same
  // bytes), each at most three UTF-8 bytes a byte, and a separator: never more than that.
  if (const auto link = pgl::ReadShellLink(bytes, 1250))
    if (link->target.size() > bytes.size() * 6 + 1) __builtin_trap();
  (void)pgl::ExecWords(bytes);
  return 0;
}
