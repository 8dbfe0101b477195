#!/usr/bin/env bash
# pgl-cli prefixes --duplicates and dedupe on real file systems in loop files, as root: on btrfs,
# three copies of a stock prefix made by wineboot: the report's figure against a count made
# apart (sha256sum), then the files shared: btrfs counts the bytes shared, every file keeps its
# content, mode, times and inode, the registry files and drive_c/users are not shared, and Wine
# still starts in each prefix. On ext4 and tmpfs: refused, nothing changed.
# Usage: shared-files.sh PGL_CLI
set -euo pipefail
cli=$1
[ "$(id -u)" = 0 ] || { echo "SKIP: mounting file systems needs root"; exit 77; }
for tool in mkfs.btrfs btrfs mkfs.ext4 wineboot sha256sum; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
tmp=$(mktemp -d)
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do
    for p in "$m"/home/.local/share/bottles/bottles/*/; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
    umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
  done
  rm -rf "$tmp"
}
trap cleanup EXIT
export LC_ALL=C.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset WINEPREFIX XDG_DATA_HOME XDG_CONFIG_HOME

# mount_fs NAME TYPE: a file system of TYPE in a loop file (tmpfs: none), mounted at $tmp/NAME.
mount_fs() {
  local dir=$tmp/$1
  mkdir -p "$dir"
  case $2 in
    tmpfs) mount -t tmpfs -o size=64m,noatime tmpfs "$dir" ;;
    *)
      truncate -s 6G "$tmp/$1.img"
      "mkfs.$2" -q "$tmp/$1.img" >/dev/null 2>&1
      # noatime: the checks read every file, and the times compared must be the program's doing
      mount -o loop,noatime "$tmp/$1.img" "$dir" 2>"$tmp/mount.err" || {
        echo "SKIP: no loop device: $(cat "$tmp/mount.err")"
        exit 77
      }
      ;;
  esac
  mounts+=("$dir")
}
# bottles HOME N SOURCE: N Bottles bottles in HOME, each a copy (not a link) of SOURCE.
bottles() {
  local root=$1/.local/share/bottles/bottles
  mkdir -p "$root"
  for i in $(seq 1 "$2"); do
    cp -a --reflink=never "$3" "$root/b$i"
    printf 'Name: B%s\nRunner: sys-wine\n' "$i" >"$root/b$i/bottle.yml"
  done
}
# What every file is, to compare before and after: content, size, mode, inode, times.
state() {
  (cd "$1" && find . -type f -printf '%p %s %m %i %T@ %A@\n' | sort &&
    find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
fail() {
  echo "FAIL: $*"
  exit 1
}

# --- btrfs: three copies of a stock prefix.
mount_fs btrfs btrfs
stock=$tmp/btrfs/stock
WINEPREFIX=$stock wineboot -i >/dev/null 2>&1
WINEPREFIX=$stock wineserver -w
mkdir -p "$stock/drive_c/users/Public/Documents"
head -c 65536 /dev/urandom >"$stock/drive_c/users/Public/Documents/note.txt"
home=$tmp/btrfs/home
bottles "$home" 3 "$stock"
rm -rf "$stock"
root=$home/.local/share/bottles/bottles
sync

# The count made apart: every regular file but the registry files and drive_c/users, grouped
# by content; each file beyond the first of its content is a copy.
expected=$(cd "$root" && find b1 b2 b3 -type f -size +0 ! -path '*/drive_c/users/*' \
  ! -path 'b?/system.reg' ! -path 'b?/user.reg' ! -path 'b?/userdef.reg' -print0 |
  xargs -0 sha256sum | while read -r sum path; do echo "$sum $(stat -c %s "$path")"; done |
  sort | awk '$1 == last { total += $2 } { last = $1 } END { print total + 0 }')
report=$(HOME=$home "$cli" prefixes --duplicates --format json)
found=$(echo "$report" | sed -n 's/.*"total_duplicate_bytes": *\([0-9]*\).*/\1/p')
echo "copies counted apart: $expected bytes; reported: $found bytes"
[ "$expected" -gt 0 ] || fail "the stock prefixes hold no copies"
awk -v a="$found" -v b="$expected" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= b / 100) }' ||
  fail "the report is more than 1% off"

before=$(state "$root")
HOME=$home "$cli" dedupe --dry-run >"$tmp/dry.out"
grep -q "Would share" "$tmp/dry.out" || fail "the dry run says nothing: $(cat "$tmp/dry.out")"
[ "$(state "$root")" = "$before" ] || fail "the dry run changed files"
HOME=$home "$cli" dedupe --yes || fail "dedupe failed"
[ "$(state "$root")" = "$before" ] || fail "a file's content, mode, times or inode changed"
# btrfs counts each file's bytes (Total), those no other file holds (Exclusive) and, once, the
# bytes files share (Set shared): what sharing freed is the rest.
freed=$(btrfs filesystem du -s --raw "$root" | awk 'NR == 2 { print $1 - $2 - $3 }')
echo "btrfs: $freed bytes freed by sharing"
awk -v f="$freed" -v e="$expected" 'BEGIN { exit !(f >= e * 0.99) }' ||
  fail "sharing freed $freed bytes, fewer than the $expected of the copies"
for b in b1 b2 b3; do
  for f in system.reg user.reg userdef.reg drive_c/users/Public/Documents/note.txt; do
    exclusive=$(btrfs filesystem du --raw "$root/$b/$f" | awk 'NR == 2 { print $2 }')
    size=$(stat -c %s "$root/$b/$f")
    [ "$exclusive" -ge "$size" ] || fail "$b/$f is shared"
  done
done
after=$(HOME=$home "$cli" prefixes --duplicates --format json)
now_shared=$(echo "$after" | sed -n 's/.*"total_shared_bytes": *\([0-9]*\).*/\1/p')
awk -v s="$now_shared" -v e="$expected" 'BEGIN { exit !(s >= e * 0.99) }' ||
  fail "the report counts $now_shared bytes shared after"
for b in b1 b2 b3; do
  WINEPREFIX=$root/$b timeout 120 wine cmd /c echo started 2>/dev/null | grep -q started ||
    fail "Wine does not start in $b"
  WINEPREFIX=$root/$b wineserver -k 2>/dev/null || true
done

# --- ext4 and tmpfs: refused, nothing changed.
for fs in ext4 tmpfs; do
  mount_fs "$fs" "$fs"
  small=$tmp/$fs/home
  mkdir -p "$tmp/$fs/seed/drive_c/windows"
  printf 'WINE REGISTRY Version 2\n' >"$tmp/$fs/seed/system.reg"
  head -c 100000 /dev/urandom >"$tmp/$fs/seed/drive_c/windows/a.dll"
  bottles "$small" 2 "$tmp/$fs/seed"
  before=$(state "$small")
  if HOME=$small "$cli" dedupe --yes 2>"$tmp/$fs.err"; then fail "dedupe on $fs succeeded"; fi
  grep -q "$fs" "$tmp/$fs.err" || fail "the refusal on $fs does not name it: $(cat "$tmp/$fs.err")"
  [ "$(state "$small")" = "$before" ] || fail "dedupe on $fs changed files"
done
echo "PASS"
