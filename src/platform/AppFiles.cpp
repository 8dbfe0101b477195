#include "platform/AppFiles.h"

#include <filesystem>
#include <system_error>

namespace pgl {

std::string HelpPageFile(const std::string& exeDir) {
  for (const char* place : {"/help/index.html", "/../share/purgelet/help/index.html"}) {
    std::error_code error;
    const std::filesystem::path page = exeDir + place;
    if (std::filesystem::is_regular_file(page, error))
      return page.lexically_normal().generic_string();
  }
  return "";
}

std::string ErrorLogFileName() {
  return ProgramFilesDir() + "/pgl_Errors.log";
}

std::string SearchLogFileName() {
  return ProgramFilesDir() + "/pgl_Search.log";
}

}  // namespace pgl
