// The saves archive on Windows: there are no Wine prefixes to remove there, so nothing is
// archived (the Linux build writes the archives with libarchive, which the Windows tool chain
// here does not have).
#include "leftovers/SavesArchive.h"

namespace pgl {

bool WriteSavesArchive(const std::string& /*prefixDir*/, const std::string& /*name*/,
                       const std::string& /*intoDir*/, SavesArchive& /*archive*/,
                       std::string& error, const std::vector<ArchiveExtra>& /*extra*/) {
  error = "saves archives are written by the Linux build only";
  return false;
}

}  // namespace pgl
