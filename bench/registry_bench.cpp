// Loading and saving Wine registry files: the stock system.reg of a fresh prefix, and the
// same file grown to 25,000 Uninstall entries. Set PGL_BENCH_SYSTEM_REG to a stock
// system.reg (scripts/bench.sh makes one with wineboot).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"
#include "registry/WineRegFile.h"
#include "util/FileIO.h"
#include "util/Utf.h"

namespace {

const std::string& StockBytes() {
  static const std::string bytes = [] {
    const char* path = std::getenv("PGL_BENCH_SYSTEM_REG");
    std::string data, error;
    if (!path || !pgl::ReadWholeFile(path, data, error)) {
      std::fprintf(stderr, "Set PGL_BENCH_SYSTEM_REG to a stock system.reg (%s)\n", error.c_str());
      std::exit(2);
    }
    return data;
  }();
  return bytes;
}

// The stock file with `count` more Uninstall entries of a dozen typical values each.
std::string GrownBytes(int count) {
  pgl::WineHive hive;
  pgl::ParseWineRegistry(StockBytes(), hive);
  pgl::RegKey& uninstall = hive.root->EnsureSubKey(u"Software")
                               .EnsureSubKey(u"Microsoft")
                               .EnsureSubKey(u"Windows")
                               .EnsureSubKey(u"CurrentVersion")
                               .EnsureSubKey(u"Uninstall");
  const std::uint64_t when = 133444736000000000ull;
  for (int i = 0; i < count; ++i) {
    const std::u16string n = pgl::Utf8ToUtf16("Program " + std::to_string(i));
    pgl::RegKey& k = uninstall.EnsureSubKey(u"{" + n + u"-5A1B2C3D}");
    k.modified = when;
    const auto text = [&](const char16_t* name, std::u16string value) {
      k.SetValue(name, pgl::kRegSz, pgl::TextToRegData(value));
    };
    text(u"DisplayName", n + u" Caf\u00e9 Edition");
    text(u"DisplayVersion", u"1.2." + pgl::Utf8ToUtf16(std::to_string(i)));
    text(u"Publisher", u"Tervask Software");
    text(u"UninstallString", u"\"C:\\Program Files\\" + n + u"\\uninstall.exe\"");
    text(u"QuietUninstallString", u"\"C:\\Program Files\\" + n + u"\\uninstall.exe\" /S");
    text(u"DisplayIcon", u"C:\\Program Files\\" + n + u"\\app.exe,0");
    text(u"InstallLocation", u"C:\\Program Files\\" + n);
    text(u"URLInfoAbout", u"https://example.com/" + n);
    text(u"HelpLink", u"https://example.com/help");
    k.SetValue(u"InstallSource", pgl::kRegExpandSz, pgl::TextToRegData(u"%TEMP%\\setup"));
    k.SetValue(u"EstimatedSize", pgl::kRegDword, pgl::DwordToRegData(12345));
    k.SetValue(u"NoModify", pgl::kRegDword, pgl::DwordToRegData(1));
  }
  return pgl::WriteWineRegistry(hive);
}

const std::string& Grown() {
  static const std::string bytes = GrownBytes(25000);
  return bytes;
}

void Load(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) {
    pgl::WineHive hive;
    benchmark::DoNotOptimize(pgl::ParseWineRegistry(bytes, hive));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
  state.counters["lines"] = static_cast<double>(std::count(bytes.begin(), bytes.end(), '\n'));
}

void Save(benchmark::State& state, const std::string& bytes) {
  pgl::WineHive hive;
  pgl::ParseWineRegistry(bytes, hive);
  for (auto _ : state) benchmark::DoNotOptimize(pgl::WriteWineRegistry(hive));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_LoadStockSystemReg(benchmark::State& s) {
  Load(s, StockBytes());
}
void BM_SaveStockSystemReg(benchmark::State& s) {
  Save(s, StockBytes());
}
void BM_Load25kEntries(benchmark::State& s) {
  Load(s, Grown());
}
void BM_Save25kEntries(benchmark::State& s) {
  Save(s, Grown());
}

// What a program start pays: the prefix's files read from disk and parsed.
void BM_OpenStockPrefix(benchmark::State& state) {
  char dir[] = "/tmp/pgl-bench-XXXXXX";
  if (!::mkdtemp(dir)) return state.SkipWithError("mkdtemp");
  std::string error;
  pgl::WriteFileAtomic(std::string(dir) + "/system.reg", StockBytes(), error);
  for (auto _ : state) {
    pgl::WinePrefixRegistry reg(dir);
    benchmark::DoNotOptimize(reg.Hive(pgl::kHkeyLocalMachine));
  }
  std::remove((std::string(dir) + "/system.reg").c_str());
  ::rmdir(dir);
}

// One committed change: check, write the whole file atomically, flush.
void BM_CommitOneValueStock(benchmark::State& state) {
  char dir[] = "/tmp/pgl-bench-XXXXXX";
  if (!::mkdtemp(dir)) return state.SkipWithError("mkdtemp");
  std::string error;
  pgl::WriteFileAtomic(std::string(dir) + "/system.reg", StockBytes(), error);
  pgl::WinePrefixRegistry::Seams seams;
  seams.serverRunning = [](const std::string&) { return false; };
  pgl::WinePrefixRegistry reg(dir, seams);
  int i = 0;
  for (auto _ : state)
    if (!pgl::RegWriteInteger(reg, pgl::kHkeyLocalMachine, "Software\\PurgeletBench", "n", ++i))
      state.SkipWithError(reg.LastError().c_str());
  std::remove((std::string(dir) + "/system.reg").c_str());
  ::rmdir(dir);
}

BENCHMARK(BM_LoadStockSystemReg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveStockSystemReg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenStockPrefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommitOneValueStock)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load25kEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save25kEntries)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
