#!/bin/sh
# Usage: needed-libraries.sh PROGRAM ALLOWED... Fails, naming them, when PROGRAM needs a shared
# library that matches none of the ALLOWED patterns.
set -eu
program=$1
shift
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || { echo "no libraries read from $program"; exit 1; }
status=0
for library in $needed; do
  allowed=no
  for ok in "$@"; do
    # shellcheck disable=SC2254
    case $library in $ok) allowed=yes ;; esac
  done
  if [ $allowed = no ]; then
    echo "$program needs $library"
    status=1
  fi
done
exit $status
