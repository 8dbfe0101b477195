// Finding the user's prefixes in a home with 300 of them: 120 Steam games in two libraries,
// 80 bottles, 60 Lutris games, 40 PlayOnLinux programs, each prefix with a system.reg of a
// real size (the first lines are all that is read of it).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "leftovers/SavesArchive.h"
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

// Heroic's list of installed Epic games at two megabytes, no titles, "app_name" in each game:
// read before every command and at the window's start.
void BM_FindPrefixesWithALargeHeroicList(benchmark::State& state) {
  const fs::path h = fs::temp_directory_path() / ("pgl-bench-heroic-" + std::to_string(::getpid()));
  fs::remove_all(h);
  std::string list = "{";
  for (int i = 0; list.size() < (2u << 20); ++i)
    list += (i ? "," : "") + std::string("\"Game") + std::to_string(i) +
            "\": {\"app_name\": \"Game" + std::to_string(i) + "\", \"install_path\": \"/games/x\"}";
  list += "}";
  Write(h / ".config/heroic/legendaryConfig/legendary/installed.json", list);
  Write(h / ".config/heroic/GamesConfig/Game7.json",
        "{\"Game7\": {\"winePrefix\": \"" + (h / "Games/Heroic/Prefixes/default/Game7").string() +
            "\"}}");
  Prefix(h / "Games/Heroic/Prefixes/default/Game7");
  for (auto _ : state) benchmark::DoNotOptimize(pgl::FindWinePrefixes(h.string(), ""));
  fs::remove_all(h);
}
BENCHMARK(BM_FindPrefixesWithALargeHeroicList)->Unit(benchmark::kMillisecond);

// The saves' archive of a prefix with 100 MB of saves in 200 files (half of each file
// repetitive, half not), written, read back and checked.
void BM_SavesArchive(benchmark::State& state) {
  const fs::path root =
      fs::temp_directory_path() / ("pgl-bench-saves-" + std::to_string(::getpid()));
  fs::remove_all(root);
  std::uint64_t seed = 1;
  for (int i = 0; i < 200; ++i) {
    std::string bytes(512u << 10, 'a');
    for (std::size_t k = bytes.size() / 2; k < bytes.size(); ++k) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      bytes[k] = static_cast<char>(seed >> 56);
    }
    Write(root / "pfx/drive_c/users/steamuser/Saved Games/Game" / ("slot" + std::to_string(i)),
          bytes);
  }
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    pgl::SavesArchive archive;
    std::string error;
    if (!pgl::WriteSavesArchive((root / "pfx").string(), "Game", (root / "out").string(), archive,
                                error))
      state.SkipWithError(error.c_str());
    bytes += archive.bytes;
    fs::remove(archive.file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  fs::remove_all(root);
}
BENCHMARK(BM_SavesArchive)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(Home());
  return 0;
}
