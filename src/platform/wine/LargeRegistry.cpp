// The restart with large memory pages for a large registry (ManagedSystem.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ManagedSystem.h"

namespace pgl {

namespace {

// What the restart adds to the C library's settings: large pages, and a heap that grows 32 MB
// at a time so that large pages can back it (either alone saves little). Then the variable
// that carries the settings the user had (or "-" for none) into the restarted program, which
// puts them back.
constexpr const char* kLargePages = "glibc.malloc.hugetlb=1";
constexpr const char* kTopPad = "glibc.malloc.top_pad=33554432";
constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kBefore = "PGL_TUNABLES_BEFORE";
// Below this the restart costs about what the large pages save (measured: 3 MB loses 3 ms of
// 20, 4.3 MB gains 1.5 ms of 30, 8 MB gains 15 ms of 56).
constexpr std::uint64_t kLargeRegistryBytes = 4u << 20;

std::uint64_t FileBytes(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

void RestartForLargeRegistry(const std::string& prefixDir, char** argv) {
  // Decided once: the restarted program would otherwise restart again on a later call.
  static bool decided = false;
  if (decided) return;
  decided = true;
  if (const char* before = std::getenv(kBefore)) {
    // The restarted program: the settings are taken; the user's go back for what it runs.
    const std::string was = before;
    if (was == "-")
      ::unsetenv(kTunables);
    else
      ::setenv(kTunables, was.c_str(), 1);
    ::unsetenv(kBefore);
    return;
  }
#ifdef __GLIBC__
  if (FileBytes(prefixDir + "/system.reg") + FileBytes(prefixDir + "/user.reg") <
      kLargeRegistryBytes)
    return;
  const char* tunables = std::getenv(kTunables);
  const std::string was = tunables ? tunables : "";
  if (was.find("glibc.malloc.hugetlb") != std::string::npos) return;  // the user's choice
  std::string with = was.empty() ? kLargePages : was + ":" + kLargePages;
  if (was.find("glibc.malloc.top_pad") == std::string::npos) with = with + ":" + kTopPad;
  if (::setenv(kBefore, tunables ? was.c_str() : "-", 1) != 0 ||
      ::setenv(kTunables, with.c_str(), 1) != 0)
    return;
  ::execv("/proc/self/exe", argv);
  // Not restarted: on as the program is, with the environment it had.
  if (tunables)
    ::setenv(kTunables, was.c_str(), 1);
  else
    ::unsetenv(kTunables);
  ::unsetenv(kBefore);
#else
  (void)argv;
#endif
}

}  // namespace pgl
