// pgl-cli list and report on a real prefix with a real NSIS- and a real MSI-installed program.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "inventory/CommandAnalysis.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WinePrefixRegistry.h"

namespace pgl {
namespace {

std::vector<std::vector<std::string>> List(const std::string& prefix,
                                           std::vector<std::string> options = {}) {
  std::vector<std::string> argv{PGL_CLI_PATH, "list"};
  argv.insert(argv.end(), options.begin(), options.end());
  const auto r = e2e::Run(argv, {{"WINEPREFIX", prefix}});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  return e2e::TabSeparatedLines(r.output);
}

std::vector<std::string> Names(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < rows.size(); ++i) names.push_back(rows[i][0]);
  return names;
}

TEST(Inventory, ListsRealInstalledProgramsAndNoticesAMissingUninstaller) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", true);
  const auto rows = List(prefix);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(rows[0].size(), 22u);
  EXPECT_EQ(rows[0][0], "Name");
  EXPECT_EQ(rows[0][20], "System component");
  EXPECT_EQ(rows[0][21], "Registry key");
  // Sorted by name; both are valid (listed without invalid entries, absent from the invalid).
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"Purgelet Demo Café", "Purgelet MSI Demo"}));
  EXPECT_EQ(Names(List(prefix, {"--no-invalid"})), Names(rows));
  EXPECT_TRUE(Names(List(prefix, {"--only-invalid"})).empty());

  const auto& nsis = rows[1];
  EXPECT_EQ(nsis[1], "Tervask Café");
  EXPECT_EQ(nsis[5], "1.2.3");
  EXPECT_EQ(nsis[7], "C:\\Program Files\\Purgelet Demo PurgeletDemo\\uninstall.exe,0");
  EXPECT_EQ(nsis[8], "\"C:\\Program Files\\Purgelet Demo PurgeletDemo\\uninstall.exe\"");
  // Wine keeps no usage records, and the installer says it does not know (0xFFFFFFFF).
  EXPECT_EQ(nsis[2], "");
  EXPECT_EQ(nsis[20], "0");
  EXPECT_EQ(nsis[21],
            "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PurgeletDemo");
  const auto& msi = rows[2];
  EXPECT_EQ(msi[1], "Tervask");
  EXPECT_EQ(msi[5], "2.0.1");
  EXPECT_EQ(msi[8], "MsiExec.exe /I{3C5B7A91-2D4E-4F60-8A1B-9C0D1E2F3A4B}");

  {
    WinePrefixRegistry registry(prefix);
    WinePlatform platform(prefix, registry);
    EXPECT_EQ(ExtractExeFromCommand(platform, msi[8]), "C:\\windows\\system32\\msiexec.exe");
    const auto icon = ExtractIconHandle(
        platform, "C:\\Program Files\\Purgelet Demo PurgeletDemo\\uninstall.exe", 0, false);
    ASSERT_TRUE(icon);  // NSIS puts its icon into the uninstaller
    EXPECT_EQ(icon->width, 32);
  }

  std::filesystem::remove(prefix +
                          "/drive_c/Program Files/Purgelet Demo PurgeletDemo/uninstall.exe");
  EXPECT_EQ(Names(List(prefix, {"--only-invalid"})),
            std::vector<std::string>{"Purgelet Demo Café"});
  EXPECT_EQ(Names(List(prefix, {"--no-invalid"})), std::vector<std::string>{"Purgelet MSI Demo"});

  const std::string report = dir / "report.html";
  const auto r = e2e::Run({PGL_CLI_PATH, "report", report}, {{"WINEPREFIX", prefix}});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string html = test::ReadFile(report);
  EXPECT_NE(html.find("<td class=\"c_name\">Purgelet Demo Café</td>"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"https://example.com/demo?a=1&amp;b=2\">"), std::string::npos);
}

TEST(Inventory, WorksWhileWineRuns) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefixWithPrograms(dir / "p", false);
  ASSERT_EQ(e2e::Run({"wineserver", "-p"}, e2e::WineEnvironment(prefix)).exitCode, 0);
  EXPECT_EQ(Names(List(prefix)), std::vector<std::string>{"Purgelet Demo Café"});
  e2e::Run({"wineserver", "-k"}, e2e::WineEnvironment(prefix));
  e2e::WaitForServer(prefix);
}

}  // namespace
}  // namespace pgl
