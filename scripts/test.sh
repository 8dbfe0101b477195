#!/usr/bin/env bash
# Builds everything and runs every check: formatting, the Windows build with its tests under
# Wine, the core and end-to-end tests (real Wine), clang-tidy on the core, the core tests under
# address and undefined-behaviour sanitizers, a bounded fuzzing run, and the Debian package
# built, checked by lintian and run from its unpacked files. Set FUZZ_SECONDS to
# change the fuzzing time (default 60 per target).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-desktop-tools

jobs=$(nproc)
passed=0
failed=0
step() {
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else echo "=== $name FAILED"; failed=$((failed + 1)); fi
}

format_check() {
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

# The Windows build (mingw-w64), its tests run under Wine in a prefix of their own.
windows_tests() {
  cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DPGL_WERROR=ON &&
    cmake --build build/windows -j "$jobs" &&
    (cd build/windows && ctest --output-on-failure -L windows)
}

# The Linux build; its "windows" tests compare the Windows build's pgl-cli.exe with its own.
main_tests() {
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPGL_WERROR=ON \
    -DPGL_WINDOWS_CLI="$PWD/build/windows/src/pgl-cli.exe" &&
    cmake --build build/test -j "$jobs" &&
    (cd build/test && ctest --output-on-failure -j "$jobs")
}

# clang-tidy on the core, as build/test compiles it.
tidy() {
  scripts/tidy.sh build/test
}

sanitizer_tests() {
  cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPGL_WERROR=ON -DPGL_SANITIZE=ON \
    -DPGL_BUILD_BENCH=OFF -DPGL_WINE_TESTS=OFF -DPGL_BUILD_UI=OFF &&
    cmake --build build/asan -j "$jobs" &&
    (cd build/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --output-on-failure -L core)
}

fuzz() {
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
}

# The Debian package, built and checked unpacked in a temporary root.
package() {
  scripts/package.sh && scripts/check-package.sh
}

step "format" format_check
step "windows build and test" windows_tests
step "build and test" main_tests
step "clang-tidy" tidy
step "sanitizers" sanitizer_tests
step "fuzz" fuzz
step "package" package

echo "checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
