#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 60)
# from its seed corpus. A crash or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPGL_BUILD_FUZZ=ON -DPGL_BUILD_TESTS=OFF -DPGL_BUILD_BENCH=OFF -DPGL_BUILD_UI=OFF >/dev/null
cmake --build build/fuzz -j "$(nproc)"
for target in wine_registry icon_reader front_ends reg_script shell_link; do
  work=build/fuzz/corpus-$target
  mkdir -p "$work"
  echo "fuzzing $target for ${seconds}s"
  build/fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ "$work" "fuzz/corpus/$target" 2>&1 | tail -n 12
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done
