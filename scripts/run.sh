#!/usr/bin/env bash
# Builds Purgelet and runs it on your Wine prefix (WINEPREFIX, else ~/.wine). Where there is
# no prefix yet, it runs on a demo prefix with some thirty programs, made once under
# ~/.cache/purgelet. Without arguments it opens the window (pgl) where there is a display, and
# lists the installed programs with pgl-cli where there is none; arguments go to pgl-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPGL_BUILD_TESTS=OFF \
  -DPGL_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)"

prefix=${WINEPREFIX:-$HOME/.wine}
if [ ! -f "$prefix/system.reg" ]; then
  prefix=$(scripts/demo-prefix.sh)
  echo "No Wine prefix at ${WINEPREFIX:-$HOME/.wine}; using the demo prefix $prefix" >&2
fi
if [ $# -eq 0 ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  WINEPREFIX=$prefix exec build/release/src/pgl
fi
if [ $# -eq 0 ]; then set -- list; fi
WINEPREFIX=$prefix exec build/release/src/pgl-cli "$@"
