// Finding the user's prefixes in a home with 300 of them: 120 Steam games in two libraries,
// 80 bottles, 60 Lutris games, 40 PlayOnLinux programs, each prefix with a system.reg of a
// real size (the first lines are all that is read of it).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/wine/WinePrefixes.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

void Prefix(const fs::path& dir) {
  std::string reg = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";
  reg += std::string(2u << 20, ';');  // a registry of a couple of megabytes
  Write(dir / "system.reg", reg);
}

const std::string& Home() {
  static const std::string home = [] {
    const fs::path h = fs::temp_directory_path() / ("pgl-bench-home-" + std::to_string(::getpid()));
    fs::remove_all(h);
    const fs::path steam = h / ".local/share/Steam";
    const fs::path lib2 = h / "games/SteamLibrary";
    Write(steam / "steamapps/libraryfolders.vdf", "\"libraryfolders\" { \"0\" { \"path\" \"" +
                                                      steam.string() + "\" } \"1\" { \"path\" \"" +
                                                      lib2.string() + "\" } }");
    for (int i = 0; i < 120; ++i) {
      const fs::path lib = i % 2 ? lib2 : steam;
      const std::string id = std::to_string(1000 + i);
      Write(lib / ("steamapps/appmanifest_" + id + ".acf"),
            "\"AppState\" { \"appid\" \"" + id + "\" \"name\" \"Game " + id + "\" }");
      Prefix(lib / "steamapps/compatdata" / id / "pfx");
      Write(lib / "steamapps/compatdata" / id / "config_info",
            "8.0\n" + steam.string() + "/steamapps/common/Proton 8.0/files/share/fonts/\n");
    }
    for (int i = 0; i < 80; ++i) {
      const fs::path bottle = h / ".local/share/bottles/bottles" / ("Bottle " + std::to_string(i));
      Prefix(bottle);
      Write(bottle / "bottle.yml", "Name: Bottle " + std::to_string(i) + "\nRunner: soda-7\n");
    }
    for (int i = 0; i < 60; ++i) {
      const std::string slug = "game-" + std::to_string(i);
      Write(h / ".config/lutris/games" / (slug + "-1700000000.yml"),
            "game:\n  prefix: " + (h / "Games" / slug).string() + "\nwine:\n  version: lutris-7\n");
      Prefix(h / "Games" / slug);
    }
    for (int i = 0; i < 40; ++i) {
      const fs::path dir = h / ".PlayOnLinux/wineprefix" / ("Program " + std::to_string(i));
      Prefix(dir);
      Write(dir / "playonlinux.cfg", "ARCH=x86\nVERSION=4.0\n");
    }
    return h.string();
  }();
  return home;
}

void BM_FindPrefixes(benchmark::State& state) {
  const std::string& home = Home();
  std::size_t found = 0;
  for (auto _ : state) {
    const pgl::PrefixSearch search = pgl::FindWinePrefixes(home, "");
    found = search.prefixes.size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["prefixes"] = static_cast<double>(found);
}
BENCHMARK(BM_FindPrefixes)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(Home());
  return 0;
}
