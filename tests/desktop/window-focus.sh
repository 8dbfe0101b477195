#!/usr/bin/env bash
# pgl under a real window manager (openbox on Xvfb), driven by real key presses: each window a
# key opens takes the focus and Esc closes it (never reaching the main window's close
# question); the Prefixes window is in front again after its question, its message and its
# folder dialog. Usage: window-focus.sh PGL (SHOT=file.png: the screen at a failure)
set -euo pipefail
pgl=$1
for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# A home of its own with two prefixes in the form Wine writes: the one shown, and another whose
# profile holds a save.
export HOME=$tmp/home LC_ALL=C.UTF-8 LANG=C.UTF-8 XDG_RUNTIME_DIR=$tmp/run
unset XDG_CONFIG_HOME XDG_DATA_HOME WINEPREFIX QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
make_prefix() {
  mkdir -p "$1/drive_c"
  printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' '#arch=win64' '' \
    '[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Focus] 1700000000' \
    '#time=1da1747c66d0000' "\"DisplayName\"=\"$2\"" >"$1/system.reg"
}
make_prefix "$HOME/.wine" "Focus test program"
make_prefix "$HOME/.wine-other" "Other program"
mkdir -p "$HOME/.wine-other/drive_c/users/$(id -un)/AppData/Roaming/Game"
echo save >"$HOME/.wine-other/drive_c/users/$(id -un)/AppData/Roaming/Game/slot1.sav"

exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$tmp/display")
openbox >"$tmp/openbox.log" 2>&1 &
pids+=($!)
sleep 1
"$pgl" >"$tmp/pgl.log" 2>&1 &
pids+=($!)

active() { xdotool getactivewindow getwindowname 2>/dev/null || true; }
# Waits until the active window's title matches the pattern.
expect_active() {
  for _ in $(seq 100); do
    [[ "$(active)" =~ $1 ]] && return 0
    sleep 0.1
  done
  echo "FAIL: $2: the active window is \"$(active)\", not /$1/"
  xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sed 's/^/  shown: /'
  # SHOT=file.png keeps a picture of the screen as it was.
  [ -z "${SHOT:-}" ] || import -window root "$SHOT" || true
  exit 1
}
expect_gone() {
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "FAIL: $2: \"$1\" is still shown"
  exit 1
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

expect_active '^Purgelet' "the main window at start"
key Down
key Return
expect_active '^Details$' "Enter opens Details with the focus"
key Escape
expect_gone Details "Esc closes Details"
expect_active '^Purgelet' "the main window again"
key F11
expect_active '^Errors$' "F11 opens Errors with the focus"
key Escape
expect_gone Errors "Esc closes Errors"
key ctrl+F1
expect_active '^About' "Ctrl+F1 opens About with the focus"
key Escape
expect_gone 'About' "Esc closes About"
expect_active '^Purgelet' "the main window again, no question asked"

# Prefix > Prefixes... (the menu's last item).
key alt+p
key Up
key Return
expect_active '^Prefixes$' "Prefix > Prefixes... opens the window with the focus"
# The other prefix, the one not shown, is the first row (the larger).
key Down
key Up
row=$(xdotool getactivewindow)
key Delete
expect_active '^Purgelet$' "the removal's question"
key Escape
expect_active '^Prefixes$' "in front again after the question"
key alt+s
expect_active 'saves' "the saves' folder dialog"
key Escape
expect_active '^Prefixes$' "in front again after the folder dialog"
[ "$(xdotool getactivewindow)" = "$row" ]
key Escape
expect_gone Prefixes "Esc closes Prefixes"
echo "window focus: passed"
