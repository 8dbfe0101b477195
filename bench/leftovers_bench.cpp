// Finding one program's leftovers in a prefix of 2,500 programs and 100,000 files, with a Start
// menu of 2,500 shortcuts and 2,500 of Wine's menu entries in the home: the record made before an
// uninstall, then the search.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "SyntheticPrefix.h"
#include "inventory/UCollection.h"
#include "leftovers/Leftovers.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "util/FileIO.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPrograms = 2500;
constexpr int kFilesEach = 40;

void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  if (s.size() < at + 4) s.resize(at + 4, '\0');
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A shortcut as Wine writes one: the target's local path in its link information.
std::string Link(const std::string& target) {
  std::string b(0x4C, '\0');
  Put32(b, 0, 0x4C);
  const unsigned char clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  for (int i = 0; i < 16; ++i) b[4 + i] = static_cast<char>(clsid[i]);
  Put32(b, 0x14, 0x2);
  std::string info(0x1C, '\0');
  Put32(info, 4, 0x1C);
  Put32(info, 8, 1);
  Put32(info, 0x10, 0x1C);
  info += target + '\0';
  Put32(info, 0x18, static_cast<std::uint32_t>(info.size()));
  info += '\0';
  Put32(info, 0, static_cast<std::uint32_t>(info.size()));
  return b + info;
}

struct Setup {
  std::string root, prefix;
  Setup() {
    root = (fs::temp_directory_path() / "pgl-bench-leftovers").string();
    prefix = root + "/pfx";
    fs::remove_all(root);
    fs::create_directories(prefix);
    pgl::bench::AddPrograms(prefix, kPrograms);
    const std::string programs =
        "C:\\users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    {
      pgl::WinePrefixRegistry registry(prefix);
      const std::string folders =
          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
      pgl::RegWriteString(registry, pgl::kHkeyCurrentUser, folders, "AppData",
                          "C:\\users\\u\\AppData\\Roaming");
      pgl::RegWriteString(registry, pgl::kHkeyCurrentUser, folders, "Programs", programs);
    }
    const std::string start =
        prefix + "/drive_c/users/u/AppData/Roaming/Microsoft/Windows/Start Menu/Programs";
    const std::string apps = root + "/home/.local/share/applications/wine/Programs";
    fs::create_directories(apps);
    std::string error;
    for (int i = 0; i < kPrograms; ++i) {
      const std::string name = "Program " + std::to_string(i);
      const std::string dir = prefix + "/drive_c/Program Files/" + name;
      for (int f = 0; f < kFilesEach - 2; ++f)
        pgl::WriteFileAtomic(dir + "/data" + std::to_string(f) + ".bin", "x", error);
      fs::create_directories(start + "/" + name);
      pgl::WriteFileAtomic(start + "/" + name + "/" + name + ".lnk",
                           Link("C:\\Program Files\\" + name + "\\app.exe"), error);
      fs::create_directories(apps + "/" + name);
      pgl::WriteFileAtomic(apps + "/" + name + "/" + name + ".desktop",
                           "[Desktop Entry]\nExec=env WINEPREFIX=\"" + prefix +
                               "\" wine C:\\\\\\\\users\\\\\\\\u\\\\\\\\" + name +
                               ".lnk\nIcon=1234_" + std::to_string(i) + ".0\n",
                           error);
    }
    ::setenv("HOME", (root + "/home").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
  }
};

void BM_RecordAndFindOneProgramsLeftovers(benchmark::State& state) {
  static Setup setup;
  pgl::WinePrefixRegistry registry(setup.prefix);
  pgl::WinePlatform platform(setup.prefix, registry);
  pgl::TUninstallCollection collection(registry, platform);
  collection.ReadUninstallEntries();
  pgl::LeftoverScope scope;
  scope.registry = &registry;
  scope.platform = &platform;
  scope.prefixDir = setup.prefix;
  scope.xdg = pgl::UserXdgFolders();
  for (int i = 0; i < collection.Count(); ++i)
    scope.listed.push_back(collection.GetItem(i).UninstallInfo);
  const pgl::TUninstallInfo entry = scope.listed[scope.listed.size() / 2];
  std::size_t items = 0;
  for (auto _ : state) {
    const auto found = pgl::FindLeftovers(scope, pgl::CollectEvidence(scope, entry));
    items = found.size();
    benchmark::DoNotOptimize(items);
  }
  state.counters["items"] = static_cast<double>(items);
}
BENCHMARK(BM_RecordAndFindOneProgramsLeftovers)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
