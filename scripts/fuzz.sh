#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 60)
# from its seed corpus, as many at once as there are cores. A crash or sanitizer report fails
# the run. With BUILD_DIR (a build configured with clang and PGL_BUILD_FUZZ=ON, as the test
# command's sanitizer build is), the targets are built there.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${2:-build/fuzz}
if [ $# -lt 2 ]; then
  CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPGL_BUILD_FUZZ=ON -DPGL_BUILD_TESTS=OFF -DPGL_BUILD_BENCH=OFF -DPGL_BUILD_UI=OFF >/dev/null
fi
targets=(wine_registry icon_reader front_ends reg_script shell_link)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"
fuzz_one() {
  local target=$1 work=$build/corpus-$1
  mkdir -p "$work"
  echo "fuzzing $target for ${seconds}s"
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/" "$work" "fuzz/corpus/$target" >"$build/fuzz-$target.log" 2>&1
  echo $? >"$build/fuzz-$target.status"
}
export -f fuzz_one
export build seconds
rm -f "$build"/fuzz-*.status
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c 'fuzz_one {}'
failed=0
for target in "${targets[@]}"; do
  echo "--- $target"
  tail -n 12 "$build/fuzz-$target.log"
  [ "$(cat "$build/fuzz-$target.status" 2>/dev/null)" = 0 ] || { echo "$target failed"; failed=1; }
done
exit "$failed"
