#include "platform/AppFiles.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace pgl {

std::string HelpPageFile(const std::string& exeDir, Language lang) {
  std::vector<const char*> names;
  if (lang == Language::Polish) names.push_back("index.pl.html");
  names.push_back("index.html");
  for (const char* name : names)
    for (const char* place : {"/help/", "/../share/purgelet/help/"}) {
      std::error_code error;
      const std::filesystem::path page = exeDir + place + name;
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
