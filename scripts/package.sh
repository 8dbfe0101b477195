#!/usr/bin/env bash
# Builds the Debian package purgelet_<version>_<arch>.deb with CPack (from what `cmake --install`
# lays out, under /usr), then checks it with lintian. The package lands in build/package/.
# CPack rather than dpkg-buildpackage: the install rules the tests check are the package's
# contents, and no second description of them (debian/) can drift from the first.
# With BUILD_DIR (a Release build configured with CMAKE_INSTALL_PREFIX=/usr, as the test
# command's is), the package is made of the programs that build holds: those that were tested.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-package-tools
build=${1:-build/package}
if [ $# -eq 0 ]; then
  cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DPGL_BUILD_TESTS=OFF -DPGL_BUILD_BENCH=OFF >/dev/null
else
  grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt" &&
    grep -q '^CMAKE_INSTALL_PREFIX:PATH=/usr$' "$build/CMakeCache.txt" ||
    { echo "package.sh: $build is not a Release build for /usr" >&2; exit 1; }
fi
cmake --build "$build" -j "$(nproc)"
mkdir -p build/package
rm -f build/package/purgelet_*.deb "$build"/purgelet_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
[ "$build" = build/package ] || mv "$build"/purgelet_*.deb build/package/
deb=$(ls build/package/purgelet_*.deb)
# An error fails it; the notes it leaves are listed in the README.
lintian --fail-on error "$deb"
echo "$deb"
