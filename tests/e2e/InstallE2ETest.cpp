// The program as cmake --install lays it out: every file where a Linux desktop looks for it,
// the installed programs running from there, and the manual page and the shell completions
// naming every command pgl-cli has.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/AppFiles.h"
#include "util/BuildInfo.h"

namespace pgl {
namespace {

// The commands pgl-cli lists in its help.
std::vector<std::string> Commands() {
  const auto r = e2e::Run({PGL_CLI_PATH, "--help-all"});
  std::vector<std::string> commands;
  std::istringstream lines(r.output);
  bool listed = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Subcommands:")
      listed = true;
    else if (listed && !line.empty() && line[0] >= 'a' && line[0] <= 'z')
      commands.push_back(line);
  }
  return commands;
}

TEST(Install, EveryFileInItsPlaceAndTheProgramsRunFromThere) {
  test::TempDir root;
  const auto installed = e2e::Run({"cmake", "--install", PGL_BUILD_DIR, "--prefix", root.Path()});
  ASSERT_EQ(installed.exitCode, 0) << installed.output;
  // The installed programs run, and the window finds its help page beside them.
  const auto version = e2e::Run({root / "bin/pgl-cli", "--version"});
  EXPECT_EQ(version.output, "pgl-cli " + VersionText() + "\n");
  std::vector<std::string> files = {"bin/pgl-cli",
                                    "lib/purgelet/pgl-launcher.exe",
                                    "share/man/man1/pgl.1.gz",
                                    "share/man/man1/pgl-cli.1.gz",
                                    "share/doc/purgelet/copyright",
                                    "share/doc/purgelet/changelog.gz",
                                    "share/bash-completion/completions/pgl-cli",
                                    "share/zsh/vendor-completions/_pgl-cli",
                                    "share/fish/vendor_completions.d/pgl-cli.fish"};
  if (PGL_WITH_WINDOW)
    files.insert(
        files.end(),
        {"bin/pgl", "share/applications/purgelet.desktop",
         "share/icons/hicolor/scalable/apps/purgelet.svg", "share/purgelet/help/index.html",
         "share/purgelet/help/index.pl.html", "share/icons/hicolor/48x48/apps/purgelet.png",
         "share/icons/hicolor/256x256/apps/purgelet.png",
         "share/metainfo/org.example.purgelet.metainfo.xml"});
  for (const std::string& file : files)
    EXPECT_TRUE(std::filesystem::is_regular_file(root / file)) << file;
  if (!PGL_WITH_WINDOW) return;
  // The menu entry passes the desktop's own check.
  const auto valid =
      e2e::Run({"desktop-file-validate", root / "share/applications/purgelet.desktop"});
  EXPECT_EQ(valid.exitCode, 0) << valid.output;
  const auto metainfo = e2e::Run({"appstreamcli", "validate", "--no-net",
                                  root / "share/metainfo/org.example.purgelet.metainfo.xml"});
  EXPECT_EQ(metainfo.exitCode, 0) << metainfo.output;
  const auto window = e2e::Run({root / "bin/pgl", "--version"}, {{"DISPLAY", ""}});
  EXPECT_EQ(window.output, "pgl " + VersionText() + "\n");
  // Without a display: --help says how to use it, and the window itself says there is none
  // (never Qt's abort); a wrong argument is wrong usage.
  const e2e::EnvList noDisplay = {
      {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  } runs[] = {
      {{"--help"}, 0, "Usage: pgl [--screenshot FILE]"},
      {{}, 1, "there is no display"},
      {{"--frobnicate"}, 2, "unknown arguments"},
  };
  for (const auto& r : runs) {
    std::vector<std::string> argv = {root / "bin/pgl"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    const auto ran = e2e::Run(argv, noDisplay);
    EXPECT_EQ(ran.exitCode, r.exitCode) << ran.output;
    EXPECT_NE(ran.output.find(r.says), std::string::npos) << ran.output;
  }
  EXPECT_EQ(HelpPageFile(root / "bin"), root / "share/purgelet/help/index.html");
  EXPECT_EQ(HelpPageFile(root / "bin", Language::Polish),
            root / "share/purgelet/help/index.pl.html");
  // Run by whoever (root too, as these tests may be), the installed window writes nothing
  // beside itself: its settings and first backup go to the user's configuration folder.
  test::TempDir home;
  const std::string prefix = home / ".wine";
  test::MakePrefixDirs(prefix);
  test::WriteFile(prefix + "/system.reg",
                  std::string("WINE REGISTRY Version 2\n;; All keys relative to "
                              "\\\\Machine\n\n#arch=win64\n") +
                      test::kBasicMachineRegistry);
  const auto shot = e2e::Run({root / "bin/pgl", "--screenshot", home / "shot.png"},
                             {{"HOME", home.Path()},
                              {"WINEPREFIX", prefix},
                              {"XDG_CONFIG_HOME", ""},
                              {"QT_QPA_PLATFORM", "offscreen"}});
  EXPECT_EQ(shot.exitCode, 0) << shot.output;
  std::vector<std::string> besides;
  for (const auto& e : std::filesystem::directory_iterator(root / "bin"))
    besides.push_back(e.path().filename());
  std::sort(besides.begin(), besides.end());
  EXPECT_EQ(besides, (std::vector<std::string>{"pgl", "pgl-cli"}));
  EXPECT_FALSE(std::filesystem::is_empty(home / ".config/purgelet"));
}

TEST(Install, TheManualAndTheCompletionsNameEveryCommand) {
  const std::vector<std::string> commands = Commands();
  ASSERT_GE(commands.size(), 10u);
  const std::string source = PGL_SOURCE_DIR;
  for (const char* file : {"/doc/pgl-cli.1.scd", "/data/completions/pgl-cli.bash",
                           "/data/completions/_pgl-cli", "/data/completions/pgl-cli.fish"}) {
    const std::string text = test::ReadFile(source + file);
    for (const std::string& command : commands) {
      const bool named = text.find("*" + command + "*") != std::string::npos ||
                         text.find(" " + command + " ") != std::string::npos ||
                         text.find("'" + command + ":") != std::string::npos ||
                         text.find(" " + command + "\n") != std::string::npos ||
                         text.find(" " + command + ")") != std::string::npos ||
                         text.find("\"" + command + " ") != std::string::npos;
      EXPECT_TRUE(named) << file << " does not name " << command;
    }
  }
}

}  // namespace
}  // namespace pgl
