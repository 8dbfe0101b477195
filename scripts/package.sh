#!/usr/bin/env bash
# Builds the Debian package purgelet_<version>_<arch>.deb with CPack (from what `cmake --install`
# lays out, under /usr), then checks it with lintian. The package lands in build/package/.
# CPack rather than dpkg-buildpackage: the install rules the tests check are the package's
# contents, and no second description of them (debian/) can drift from the first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --with-package-tools
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPGL_BUILD_TESTS=OFF -DPGL_BUILD_BENCH=OFF >/dev/null
cmake --build build/package -j "$(nproc)"
rm -f build/package/purgelet_*.deb
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls build/package/purgelet_*.deb)
# An error fails it; the notes it leaves are listed in the README.
lintian --fail-on error "$deb"
echo "$deb"
