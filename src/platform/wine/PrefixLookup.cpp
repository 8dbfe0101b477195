#include "platform/wine/PrefixLookup.h"

#include <utility>

#include "platform/wine/HomeFolders.h"

namespace pgl {

PrefixLookup::PrefixLookup(std::string prefixDir, std::string home, std::string winePrefix)
    : prefixDir_(std::move(prefixDir)),
      home_(std::move(home)),
      winePrefix_(std::move(winePrefix)) {}

const PrefixLookup::Found& PrefixLookup::Get() const {
  std::call_once(once_, [this] {
    found_.name = ShortPath(prefixDir_, home_);
    const PrefixSearch search = FindWinePrefixes(home_, winePrefix_);
    const std::string canonical = homefolders::Canonical(prefixDir_);
    for (const FoundPrefix& p : search.prefixes)
      if (canonical == homefolders::Canonical(p.path)) {
        found_.wine = p.wine;
        found_.name = p.name;
        break;
      }
  });
  return found_;
}

}  // namespace pgl
