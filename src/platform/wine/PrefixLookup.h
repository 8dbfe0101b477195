// What a prefix's front end says of it: the Wine it runs the prefix with and the name it gives
// it, found among the user's prefixes when first asked for. A home of many prefixes and front
// ends takes a while to search, and a list of the prefix's programs needs neither.
#pragma once

#include <mutex>
#include <string>

#include "platform/wine/WinePrefixes.h"

namespace pgl {

class PrefixLookup {
 public:
  // `home` and `winePrefix` as HOME and WINEPREFIX were when the prefix was opened.
  PrefixLookup(std::string prefixDir, std::string home, std::string winePrefix);

  struct Found {
    PrefixWine wine;   // the system's Wine for a prefix no front end keeps
    std::string name;  // the front end's name, else the prefix's folder, short
  };
  // Searches the first time (from any thread, once), then answers what was found.
  const Found& Get() const;

 private:
  std::string prefixDir_, home_, winePrefix_;
  mutable std::once_flag once_;
  mutable Found found_;
};

}  // namespace pgl
