// The prefix's environment and search path as Wine itself has them.
#include <gtest/gtest.h>

#include <map>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/QV_FileSystem.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "util/Utf.h"

namespace pgl {
namespace {

TEST(WinePlatformE2E, EnvironmentMatchesWhatWineProgramsSee) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  const auto set = e2e::RunWine(prefix, {"cmd", "/c", "set"});
  ASSERT_EQ(set.exitCode, 0) << set.output;
  std::map<std::string, std::string> wine;
  std::size_t start = 0;
  while (start < set.output.size()) {
    std::size_t end = set.output.find('\n', start);
    if (end == std::string::npos) end = set.output.size();
    std::string line = set.output.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (const auto eq = line.find('='); eq != std::string::npos && eq > 0) {
      std::string name = line.substr(0, eq);
      for (char& c : name) c = AsciiUpper(c);
      wine[name] = line.substr(eq + 1);
    }
    start = end + 1;
  }
  WinePrefixRegistry registry(prefix);
  WinePlatform platform(prefix, registry);
  for (const char* name : {"SystemRoot",
                           "windir",
                           "SystemDrive",
                           "ComSpec",
                           "PATH",
                           "TEMP",
                           "TMP",
                           "ProgramFiles",
                           "ProgramFiles(x86)",
                           "ProgramW6432",
                           "CommonProgramFiles",
                           "CommonProgramFiles(x86)",
                           "CommonProgramW6432",
                           "ALLUSERSPROFILE",
                           "ProgramData",
                           "PUBLIC",
                           "USERPROFILE",
                           "APPDATA",
                           "LOCALAPPDATA",
                           "COMPUTERNAME",
                           "USERNAME"}) {
    std::string key = name;
    for (char& c : key) c = AsciiUpper(c);
    ASSERT_TRUE(wine.count(key)) << name << " is not in Wine's environment";
    EXPECT_EQ(ExpandEnvVars(platform, name, true), wine[key]) << name;
  }
}

TEST(WinePlatformE2E, SystemProgramsAreFoundWhereWineHasThem) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  WinePrefixRegistry registry(prefix);
  WinePlatform platform(prefix, registry);
  const std::pair<const char*, const char*> cases[] = {
      {"msiexec.exe", "C:\\windows\\system32\\msiexec.exe"},
      {"rundll32.exe", "C:\\windows\\system32\\rundll32.exe"},
      {"reg.exe", "C:\\windows\\system32\\reg.exe"},
      {"regedit.exe", "C:\\windows\\regedit.exe"},
  };
  for (const auto& [name, path] : cases) {
    EXPECT_EQ(FindOnSearchPath(platform, name, ""), path) << name;
    EXPECT_TRUE(platform.FileExists(path)) << path;
  }
  EXPECT_FALSE(platform.FileExists("C:\\windows\\system32"));  // a folder
}

}  // namespace
}  // namespace pgl
