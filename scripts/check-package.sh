#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh made, unpacked into a temporary root (nothing is
# installed into this machine's system): the menu entry and the AppStream data validate, the
# manual pages read, and the programs run from the unpacked tree: both print their version,
# pgl-cli lists a test prefix and pgl saves a picture of its window (offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(ls build/package/purgelet_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
usr=$root/usr
# F1 and the panel's links open through xdg-open.
dpkg-deb -f "$deb" Recommends | grep -q xdg-utils
[ -s "$usr/share/purgelet/help/index.pl.html" ]
desktop-file-validate "$usr/share/applications/purgelet.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/org.example.purgelet.metainfo.xml"
for page in pgl pgl-cli; do
  man -l "$usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^NAME"
done
"$usr/bin/pgl-cli" --version
"$usr/bin/pgl" --version
# A prefix of one program, in the form Wine writes, and a home of its own.
prefix=$root/prefix
mkdir -p "$prefix/drive_c" "$root/home"
printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' '#arch=win64' '' \
  '[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PackageCheck] 1700000000' \
  '#time=1da1747c66d0000' '"DisplayName"="Package check program"' > "$prefix/system.reg"
export HOME=$root/home WINEPREFIX=$prefix LC_ALL=C.UTF-8
"$usr/bin/pgl-cli" list | grep -q "Package check program"
QT_QPA_PLATFORM=offscreen timeout 60 "$usr/bin/pgl" --screenshot "$root/window.png"
[ -s "$root/window.png" ]
echo "package checked: $deb"
