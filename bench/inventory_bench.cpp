// The inventory on synthetic prefixes of 250, 2,500 and 25,000 programs (with usage records
// and program files on disk): the scan, each sort key, the report.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

#include "SyntheticPrefix.h"
#include "inventory/EntryList.h"
#include "inventory/Report.h"
#include "inventory/UCollection.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WinePrefixRegistry.h"

namespace {

struct Prefix {
  std::string dir;
  std::unique_ptr<pgl::WinePrefixRegistry> registry;
  std::unique_ptr<pgl::WinePlatform> platform;
};

Prefix& PrefixOf(int count) {
  static std::map<int, Prefix> prefixes;
  auto it = prefixes.find(count);
  if (it != prefixes.end()) return it->second;
  Prefix p;
  p.dir =
      (std::filesystem::temp_directory_path() / ("pgl-bench-" + std::to_string(count))).string();
  std::filesystem::remove_all(p.dir);
  std::filesystem::create_directories(p.dir);
  if (const char* stock = std::getenv("PGL_BENCH_SYSTEM_REG"))
    std::filesystem::copy_file(stock, p.dir + "/system.reg");
  pgl::bench::AddPrograms(p.dir, count);
  p.registry = std::make_unique<pgl::WinePrefixRegistry>(p.dir);
  p.platform = std::make_unique<pgl::WinePlatform>(p.dir, *p.registry);
  return prefixes.emplace(count, std::move(p)).first->second;
}

// The whole start: the prefix's registry read, names gathered, entries scanned and sorted.
void BM_OpenAndScan(benchmark::State& state) {
  Prefix& p = PrefixOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    pgl::WinePrefixRegistry registry(p.dir);
    pgl::WinePlatform platform(p.dir, registry);
    pgl::TUninstallCollection c(registry, platform);
    c.ReadUninstallEntries();
    c.SortByName();
    c.SortItems(pgl::SortKey::DisplayName);
    benchmark::DoNotOptimize(c.TotalCount);
  }
}

// The scan alone (what a refresh does), on a registry already read.
void BM_Scan(benchmark::State& state) {
  Prefix& p = PrefixOf(static_cast<int>(state.range(0)));
  pgl::TUninstallCollection c(*p.registry, *p.platform);
  for (auto _ : state) {
    c.ReadUninstallEntries();
    benchmark::DoNotOptimize(c.TotalCount);
  }
  state.counters["entries"] = c.TotalCount;
}

void BM_Sort(benchmark::State& state) {
  Prefix& p = PrefixOf(static_cast<int>(state.range(0)));
  pgl::TUninstallCollection c(*p.registry, *p.platform);
  c.ReadUninstallEntries();
  const int key = static_cast<int>(state.range(1));
  for (auto _ : state) {
    c.SortAscending = !c.SortAscending;
    c.SortItems(pgl::SortKeyOfTag(key));
  }
}

void BM_Report(benchmark::State& state) {
  Prefix& p = PrefixOf(static_cast<int>(state.range(0)));
  pgl::TUninstallCollection c(*p.registry, *p.platform);
  c.ReadUninstallEntries();
  c.SortByName();
  std::vector<std::string> captions;
  for (const auto& column : pgl::ListColumns())
    captions.push_back(column.caption.In(pgl::Language::English));
  std::tm now{};
  for (auto _ : state) {
    std::vector<std::vector<std::string>> rows;
    for (auto& row : pgl::BuildListRows(c, {}, pgl::Language::English))
      rows.emplace_back(row.cells.begin(), row.cells.end());
    benchmark::DoNotOptimize(pgl::BuildReport(captions, rows, pgl::Language::English, now));
  }
}

void SortArgs(benchmark::internal::Benchmark* b) {
  for (int n : {250, 2500, 25000})
    for (int key = 0; key <= 21; ++key)
      if (key != 8) b->Args({n, key});
}

BENCHMARK(BM_OpenAndScan)->Arg(250)->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Scan)->Arg(250)->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort)->Apply(SortArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Report)->Arg(250)->Arg(2500)->Arg(25000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
