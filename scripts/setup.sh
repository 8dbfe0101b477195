#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Purgelet needs.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkgconf libicu-dev
  # tests, benchmarks, fuzzing, formatting, static checks
  libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev clang-format clang-tidy
  # Wine and the installers the end-to-end tests build; btrfs for the test of shared files
  wine wine64 nsis wixl msitools btrfs-progs
  # the Windows cross tool chain (the Windows build, its GoogleTest from googletest's sources,
  # the launcher, PE fixtures)
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  # the 32-bit probe that tells whether Wine runs 32-bit programs
  gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  # pgl-cli's argument parser and its JSON output
  libcli11-dev nlohmann-json3-dev
  # the front ends' YAML settings (Bottles, Lutris)
  libyaml-cpp-dev
  # the saves archive (pax with zstd, its read-back by SHA-256; `zstd` lets tar open it)
  libarchive-dev nettle-dev zstd
  # the window
  qt6-base-dev libgl-dev
  # the help pages F1 opens; the manual pages; the icon's PNG sizes; the
  # checks of the menu entry and the AppStream data
  cmark scdoc librsvg2-bin desktop-file-utils appstream
  # Qt's own texts (the Yes/No of a question, the file dialogs) in the user's language
  qt6-translations-l10n
)
for option in "$@"; do
  case "$option" in
    --with-bench-tools) packages+=(hyperfine strace) ;;
    # a virtual display with a window manager: the tests drive the window under it by keys
    --with-desktop-tools) packages+=(xvfb openbox xdotool imagemagick) ;;
    # the Debian package: its library dependencies and its check
    --with-package-tools) packages+=(dpkg-dev lintian fakeroot) ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
