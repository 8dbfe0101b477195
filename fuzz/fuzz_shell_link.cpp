// libFuzzer target: shortcut files and the Exec lines of .desktop files, both foreign data, must
// be read without crashing or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "leftovers/DesktopEntries.h"
#include "leftovers/ShellLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (const auto link = pgl::ReadShellLink(bytes, 1250))
    if (link->target.size() > bytes.size() * 3 + 4) __builtin_trap();  // never more than it held
  (void)pgl::ExecWords(bytes);
  return 0;
}
