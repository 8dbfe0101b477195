#include "platform/AppFiles.h"

namespace pgl {

std::string ErrorLogFileName() {
  return ProgramFilesDir() + "/pgl_Errors.log";
}

std::string SearchLogFileName() {
  return ProgramFilesDir() + "/pgl_Search.log";
}

}  // namespace pgl
