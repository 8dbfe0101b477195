#include "util/BuildInfo.h"

#include "pgl_build_info.h"

namespace pgl {

std::string ProgramVersion() {
  return PGL_VERSION;
}

std::string ProgramCommit() {
  return PGL_COMMIT;
}

std::string VersionText() {
  return ProgramVersion() + " (commit " + ProgramCommit() + ")";
}

}  // namespace pgl
