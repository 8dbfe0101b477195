#!/usr/bin/env bash
# Builds everything and runs every check: formatting, the Windows build with its tests under
# Wine, the core and end-to-end tests (real Wine), clang-tidy on the core, the core tests under
# address and undefined-behaviour sanitizers, a bounded fuzzing run, and the Debian package
# built, checked by lintian and run from its unpacked files. Set FUZZ_SECONDS to
# change the fuzzing time (default 60 per target). Each step's time is printed.
# Nothing is built twice: the package holds the programs the tests ran (one Release build), and
# the fuzzing targets share the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-desktop-tools
setup_seconds=$SECONDS

jobs=$(nproc)
passed=0
failed=0
times=()
step() {
  local name=$1; shift
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then passed=$((passed + 1)); else echo "=== $name FAILED"; failed=$((failed + 1)); fi
  times+=("$(printf '%4d s  %s' $((SECONDS - start)) "$name")")
}

format_check() {
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

# The Windows build (mingw-w64), its tests run under Wine in a prefix of their own. A case whose
# Wine fails to start (seldom, with no output at all) runs once more.
windows_tests() {
  cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DPGL_WERROR=ON &&
    cmake --build build/windows -j "$jobs" &&
    (cd build/windows && ctest --output-on-failure -L windows --repeat until-pass:2)
}

# The Linux build; its "windows" tests compare the Windows build's pgl-cli.exe with its own.
# Built as the package is (Release, for /usr): the package step packs these very programs. The
# Wine tests spend most of their time waiting for Wine; each has a prefix and a server of its
# own, so more of them run at once than there are cores, and clang-tidy runs meanwhile.
tidy_pid=
main_tests() {
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DPGL_WERROR=ON -DPGL_WINDOWS_CLI="$PWD/build/windows/src/pgl-cli.exe" &&
    cmake --build build/test -j "$jobs" || return 1
  rm -f build/tidy.rc
  (if scripts/tidy.sh build/test >build/tidy.log 2>&1; then echo 0; else echo 1; fi >build/tidy.rc) &
  tidy_pid=$!
  (cd build/test && ctest --output-on-failure -j "$jobs" -LE wine &&
    ctest --output-on-failure -j $((2 * jobs + 1)) -L wine)
}

# clang-tidy on the core, as build/test compiles it (started by the step before, when it built).
tidy() {
  if [ -z "$tidy_pid" ]; then
    scripts/tidy.sh build/test
    return
  fi
  wait "$tidy_pid" || true
  cat build/tidy.log
  [ "$(cat build/tidy.rc 2>/dev/null)" = 0 ]
}

# The core and its tests with clang under the sanitizers, with libFuzzer's coverage: the fuzzing
# step builds its targets in the same tree. -O1 keeps assertions and makes fuzzing quick.
sanitizer_tests() {
  CXX=clang++ cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DPGL_WERROR=ON -DPGL_BUILD_FUZZ=ON \
    -DPGL_BUILD_BENCH=OFF -DPGL_WINE_TESTS=OFF -DPGL_BUILD_UI=OFF &&
    cmake --build build/asan -j "$jobs" &&
    (cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --output-on-failure -L core)
}

fuzz() {
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}" build/asan
}

# The Debian package, built and checked unpacked in a temporary root.
package() {
  scripts/package.sh build/test && scripts/check-package.sh
}

step "format" format_check
step "windows build and test" windows_tests
step "build and test" main_tests
step "clang-tidy" tidy
step "sanitizers" sanitizer_tests
step "fuzz" fuzz
step "package" package

echo "step times:"
printf '%4d s  %s\n' "$setup_seconds" "set-up (packages)"
printf '%s\n' "${times[@]}"
echo "checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
