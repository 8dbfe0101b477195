#!/usr/bin/env bash
# Makes (once) a Wine prefix for trying Purgelet out: a few real programs installed by NSIS
# and MSI packages, and some thirty made-up ones with usage records; prints its path. It never
# touches your own prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo=${XDG_CACHE_HOME:-$HOME/.cache}/purgelet/demo-prefix
# The marker names the demo's version: a demo made by an older script is made again.
ready=.purgelet-demo-ready-2
if [ -f "$demo/$ready" ]; then echo "$demo"; exit 0; fi

export WINEPREFIX=$demo WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$demo"
mkdir -p "$(dirname "$demo")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  wineboot -i
  for key in PurgeletDemo PurgeletSecond; do
    makensis -V2 -INPUTCHARSET UTF8 -DOUTFILE="$work/$key.exe" -DKEYNAME=$key \
      "$root/tests/e2e/data/demo.nsi"
    wine "$work/$key.exe"
  done
  makensis -V2 -INPUTCHARSET UTF8 -DOUTFILE="$work/polish.exe" -DKEYNAME=PurgeletPolish -DPOLISH \
    "$root/tests/e2e/data/demo.nsi"
  wine "$work/polish.exe"
  (cd "$root/tests/e2e/data" && wixl -a x64 -o "$work/demo.msi" demo.wxs)
  wine msiexec /i "Z:${work//\//\\}\\demo.msi" /qn
  # Made-up programs in all three places, with usage records (scripts/make-demo-entries.py).
  wine regedit /s "Z:${root//\//\\}\\data\\demo\\entries.reg"
  wineserver -w
} >/dev/null 2>&1 </dev/null
touch "$demo/$ready"
echo "$demo"
