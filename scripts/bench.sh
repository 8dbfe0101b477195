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

echo "== Whole process: pgl-cli list against wine uninstaller --list (wineserver kept running)"
time_list() {  # PREFIX RUNS [more commands]
  local prefix=$1 runs=$2
  shift 2
  WINEPREFIX=$prefix wineserver -p
  WINEPREFIX=$prefix wine uninstaller --list >/dev/null 2>&1 || true
  WINEPREFIX=$prefix hyperfine --warmup 1 --runs "$runs" -N "build/bench/src/pgl-cli list" \
    "wine uninstaller --list" "$@"
  WINEPREFIX=$prefix /usr/bin/time -f "pgl-cli list peak memory: %M KB" \
    build/bench/src/pgl-cli list >/dev/null
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}
echo "-- stock prefix (and the process start alone: pgl-cli --version)"
time_list "$work/stock" 20 "build/bench/src/pgl-cli --version"
echo "-- 2,500 programs (with the Windows build's pgl-cli.exe under Wine)"
cp -a "$work/stock" "$work/p2500"
build/bench/bench/pgl_make_bench_prefix "$work/p2500" 2500
time_list "$work/p2500" 10 "wine build/windows-bench/src/pgl-cli.exe list"
echo "-- 25,000 programs"
cp -a "$work/stock" "$work/p25000"
build/bench/bench/pgl_make_bench_prefix "$work/p25000" 25000
time_list "$work/p25000" 3
echo "-- 25,000 programs of a varied shape: a usage record for every third, a fifth 32-bit"
cp -a "$work/stock" "$work/v25000"
build/bench/bench/pgl_make_bench_prefix "$work/v25000" 25000 --varied
time_list "$work/v25000" 3
rm -rf "$work/v25000"

echo "-- system calls of pgl-cli list on 25,000 programs"
WINEPREFIX=$work/p25000 strace -f -c -e trace=newfstatat,openat,getdents64 -o "$work/strace.txt" \
  build/bench/src/pgl-cli list >/dev/null
sed -n '3,8p' "$work/strace.txt"

# A home as users have it: 100 Bottles bottles, 40 Steam games' prefixes with their shader
# caches, and Wine's menu entries for a few hundred programs.
busy=$work/busy-home
bottles=$busy/.local/share/bottles/bottles
mkdir -p "$bottles"
for i in $(seq 1 100); do
  cp -al "$work/stock" "$bottles/b$i"
  printf 'Name: Bottle %s\nRunner: sys-wine\n' "$i" >"$bottles/b$i/bottle.yml"
done
steam=$busy/.local/share/Steam
for i in $(seq 1 40); do
  id=$((2000 + i))
  mkdir -p "$steam/steamapps/compatdata/$id" "$steam/steamapps/shadercache/$id/fozpipelinesv6"
  cp -al "$work/stock" "$steam/steamapps/compatdata/$id/pfx"
  for f in 1 2 3; do
    head -c 8388608 /dev/urandom >"$steam/steamapps/shadercache/$id/fozpipelinesv6/$f.foz"
  done
  printf '"AppState"\n{\n\t"appid"\t"%s"\n\t"name"\t"Game %s"\n}\n' "$id" "$id" \
    >"$steam/steamapps/appmanifest_$id.acf"
done
mkdir -p "$busy/.steam"
ln -s ../.local/share/Steam "$busy/.steam/steam"
menu=$busy/.local/share/applications/wine/Programs
for i in $(seq 1 300); do
  mkdir -p "$menu/Program $i"
  printf '[Desktop Entry]\nName=Program %s\nExec=env WINEPREFIX="%s" wine start /unix x.lnk\nType=Application\n' \
    "$i" "$bottles/b$((i % 100 + 1))" >"$menu/Program $i/Program $i.desktop"
done

echo "== pgl-cli list --all-prefixes over 100 stock prefixes (bottles in a home of their own)"
HOME=$busy hyperfine --warmup 1 --runs 10 -N "build/bench/src/pgl-cli list --all-prefixes"

echo "== pgl-cli prefixes --sizes over 140 prefixes, 40 of them Proton's with a 24 MB shader cache, against du"
measured=$(echo "$steam"/steamapps/compatdata/* "$steam"/steamapps/shadercache/* "$bottles"/*)
HOME=$busy hyperfine --warmup 1 --runs 5 -N \
  "build/bench/src/pgl-cli prefixes --sizes --format json" "du -s -B1 $measured"

echo "== The window on 25,000 programs: start-up to the first painted list, header clicks, memory"
mkdir -p "$work/settings" "$work/empty-home"
echo "-- first start (no settings file: the first backup is written), an empty home"
HOME=$work/empty-home QT_QPA_PLATFORM=offscreen \
  build/bench/bench/pgl_bench_window "$work/p25000" "$work/settings"
touch "$work/settings/pgl.ini"
for home in empty-home busy-home; do
  for run in 1 2 3; do
    echo "-- later start $run, $home"
    HOME=$work/$home QT_QPA_PLATFORM=offscreen \
      build/bench/bench/pgl_bench_window "$work/p25000" "$work/settings"
  done
done

echo "-- the whole window process to its first painted list, against pgl-cli list on the same prefix"
for prefix in stock p25000; do
  HOME=$work/empty-home QT_QPA_PLATFORM=offscreen PGL_BENCH_START_ONLY=1 \
    hyperfine --warmup 2 --runs 20 -N \
    "build/bench/bench/pgl_bench_window $work/$prefix $work/settings" \
    "build/bench/src/pgl-cli list --prefix $work/$prefix"
done

echo "== Files shared between prefixes on btrfs (report and dedupe, 3 and 20 copies)"
scripts/bench-shared-files.sh build/bench/src/pgl-cli
