#!/usr/bin/env bash
# Builds and runs the benchmarks on prefixes made by wineboot. They print figures; they do not
# pass or fail. Arguments go to the Google Benchmark programs (e.g. --benchmark_filter=Scan).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-bench-tools
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPGL_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)"
# The Windows build's pgl-cli.exe, timed under Wine beside the Linux one.
cmake -S . -B build/windows-bench -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DPGL_BUILD_TESTS=OFF >/dev/null
cmake --build build/windows-bench -j "$(nproc)"
work=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  for p in "$work"/*/; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
WINEPREFIX=$work/stock wineboot -i >/dev/null 2>&1
WINEPREFIX=$work/stock wineserver -w

echo "== Registry files"
PGL_BENCH_SYSTEM_REG=$work/stock/system.reg build/bench/bench/pgl_bench_registry "$@"
echo "== Finding 300 prefixes in a home"
build/bench/bench/pgl_bench_prefixes "$@"
echo "== Inventory on synthetic prefixes"
PGL_BENCH_SYSTEM_REG=$work/stock/system.reg build/bench/bench/pgl_bench_inventory "$@"

echo "== Whole process: pgl-cli list, the Windows build's pgl-cli.exe list, wine uninstaller --list"
for n in 250 2500; do
  cp -a "$work/stock" "$work/p$n"
  build/bench/bench/pgl_make_bench_prefix "$work/p$n" "$n"
  WINEPREFIX=$work/p$n hyperfine --warmup 2 --runs 10 -N \
    "build/bench/src/pgl-cli list" "wine build/windows-bench/src/pgl-cli.exe list" \
    "wine uninstaller --list"
  WINEPREFIX=$work/p$n wineserver -k 2>/dev/null || true
done

echo "== The window on 25,000 programs: start-up to the first painted list, header clicks, memory"
cp -a "$work/stock" "$work/p25000"
build/bench/bench/pgl_make_bench_prefix "$work/p25000" 25000
mkdir -p "$work/settings"
echo "-- first start (no settings file: the first backup is written)"
QT_QPA_PLATFORM=offscreen build/bench/bench/pgl_bench_window "$work/p25000" "$work/settings"
touch "$work/settings/pgl.ini"
for run in 1 2 3; do
  echo "-- later start $run"
  QT_QPA_PLATFORM=offscreen build/bench/bench/pgl_bench_window "$work/p25000" "$work/settings"
done
