#!/usr/bin/env bash
# Pictures of the main window on the demo prefix, in English and in Polish, as a user sees it
# after start-up, and of its Details, Search, Errors, About and Prefixes windows (the AppStream
# data names main-english.png and prefixes-english.png): build/screenshots/*.png.
# Rendered by Qt's offscreen platform, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/shots -G Ninja -DCMAKE_BUILD_TYPE=Release -DPGL_BUILD_BENCH=OFF \
  -DPGL_WINE_TESTS=OFF >/dev/null
cmake --build build/shots -j "$(nproc)" --target pgl_screenshot
prefix=$(scripts/demo-prefix.sh)
mkdir -p build/screenshots
export QT_QPA_PLATFORM=offscreen
build/shots/tests/pgl_screenshot "$prefix" build/screenshots/main-english.png
build/shots/tests/pgl_screenshot "$prefix" build/screenshots/main-polish.png --polish
build/shots/tests/pgl_screenshot "$prefix" build/screenshots/icons-english.png --large-icons
build/shots/tests/pgl_screenshot "$prefix" build/screenshots/icons-polish.png --large-icons --polish
for window in details search errors about prefixes; do
  build/shots/tests/pgl_screenshot "$prefix" "build/screenshots/$window-english.png" --window "$window"
  build/shots/tests/pgl_screenshot "$prefix" "build/screenshots/$window-polish.png" --window "$window" \
    --polish
done
ls build/screenshots/*.png
