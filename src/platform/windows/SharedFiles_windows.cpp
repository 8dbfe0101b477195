// Windows prefixes are not Wine's: there is nothing of theirs to share.
#include "platform/SharedFiles.h"

namespace pgl {

DuplicateReport FindDuplicates(const std::vector<std::string>& prefixDirs) {
  DuplicateReport report;
  for (const std::string& dir : prefixDirs) report.prefixes.push_back({dir, 0, 0});
  return report;
}

std::string WhySharingIsImpossible(const std::vector<std::string>&) {
  return "sharing the contents of files is for Wine prefixes on Linux";
}

SharingResult ShareDuplicates(const std::vector<DuplicateSet>&,
                              const std::function<void(std::size_t, std::size_t)>&) {
  SharingResult result;
  result.unsupported = true;
  return result;
}

}  // namespace pgl
