#!/usr/bin/env bash
# Times pgl-cli prefixes --duplicates and dedupe on btrfs in a loop file (as root), on 3 and on
# 20 copies of a stock prefix made by wineboot. Usage: bench-shared-files.sh [PGL_CLI]
# (default: build/bench/src/pgl-cli). Prints figures; passes or fails nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build/bench/src/pgl-cli}")
if [ "$(id -u)" != 0 ] || ! command -v mkfs.btrfs >/dev/null; then
  echo "(shared files: needs root and btrfs-progs; not measured)"
  exit 0
fi
work=$(mktemp -d)
cleanup() {
  umount "$work/mnt" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for copies in ${PGL_BENCH_COPIES:-3 20}; do
  umount "$work/mnt" 2>/dev/null || true
  rm -f "$work/fs.img"
  truncate -s $((copies + 4))G "$work/fs.img"
  mkfs.btrfs -q "$work/fs.img" >/dev/null
  mkdir -p "$work/mnt"
  mount -o loop,noatime "$work/fs.img" "$work/mnt"
  home=$work/mnt/home
  root=$home/.local/share/bottles/bottles
  mkdir -p "$root"
  WINEPREFIX=$root/b1 wineboot -i >/dev/null 2>&1
  WINEPREFIX=$root/b1 wineserver -w
  printf 'Name: B1\nRunner: sys-wine\n' >"$root/b1/bottle.yml"
  for i in $(seq 2 "$copies"); do
    cp -a --reflink=never "$root/b1" "$root/b$i"
    sed -i "s/B1/B$i/" "$root/b$i/bottle.yml"
  done
  sync
  echo "-- $copies copies of a stock prefix ($(du -sh "$root" | cut -f1))"
  echo 3 >/proc/sys/vm/drop_caches 2>/dev/null || true
  HOME=$home /usr/bin/time -f "prefixes --duplicates, cold: %e s, %M KB" \
    "$cli" prefixes --duplicates | tail -n 1
  HOME=$home /usr/bin/time -f "prefixes --duplicates, warm: %e s, %M KB" \
    "$cli" prefixes --duplicates >/dev/null
  df -h "$work/mnt" | tail -n 1
  HOME=$home /usr/bin/time -o "$work/time.txt" -f "dedupe: %e s, %M KB" \
    "$cli" dedupe --yes 2>/dev/null
  cat "$work/time.txt"
  btrfs filesystem du -s "$root"
  df -h "$work/mnt" | tail -n 1
done
