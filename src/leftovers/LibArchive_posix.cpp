#include "leftovers/LibArchive_posix.h"

#include <dlfcn.h>
#include <link.h>

#include <mutex>
#include <string>

namespace pgl::la {

#define PGL_LIBARCHIVE_DEFINE(name) decltype(&::name) name = nullptr;
PGL_LIBARCHIVE_CALLS(PGL_LIBARCHIVE_DEFINE)
#undef PGL_LIBARCHIVE_DEFINE

namespace {

// The name libarchive 3 has kept since 2012: the interface the calls below were built for (the
// unversioned name could be a later, different one).
constexpr const char* kName = "libarchive.so.13";

std::string LoadOnce() {
  void* library = ::dlopen(kName, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = ::dlerror();
    return "cannot load libarchive, which makes the saves archives (" +
           std::string(why ? why : kName) + "); install the package libarchive13";
  }
  // Never closed: the calls stay valid for as long as the program runs.
  std::string missing;
  int more = 0;
#define PGL_LIBARCHIVE_RESOLVE(fn)                               \
  fn = reinterpret_cast<decltype(&::fn)>(::dlsym(library, #fn)); \
  if (!fn && missing.empty())                                    \
    missing = #fn;                                               \
  else if (!fn)                                                  \
    ++more;
  PGL_LIBARCHIVE_CALLS(PGL_LIBARCHIVE_RESOLVE)
#undef PGL_LIBARCHIVE_RESOLVE
  if (!missing.empty()) {
    std::string where = "libarchive";
    if (const link_map* map = nullptr;
        ::dlinfo(library, RTLD_DI_LINKMAP, const_cast<link_map**>(&map)) == 0 && map &&
        map->l_name && *map->l_name)
      where = map->l_name;
    return where + " lacks " + missing +
           (more ? " and " + std::to_string(more) + " more of the calls archives need" : "") +
           "; install the package libarchive13";
  }
  return {};
}

}  // namespace

bool Load(std::string& error) {
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] { failure = LoadOnce(); });
  if (failure.empty()) return true;
  error = failure;
  return false;
}

}  // namespace pgl::la
