#!/usr/bin/env bash
# Builds and runs the benchmarks on a stock prefix made by wineboot. They print figures;
# they do not pass or fail.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-bench-tools
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPGL_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)"
work=$(mktemp -d)
trap 'WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
WINEPREFIX=$work/prefix wineserver -w
PGL_BENCH_SYSTEM_REG=$work/prefix/system.reg build/bench/bench/pgl_bench_registry "$@"
