#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy on the core (everything under src/ but the
# window) as the Linux build compiles it. Any finding fails. Needs a configured build/test (its
# compile_commands.json); scripts/test.sh makes one first. The build is g++'s: its warning
# options that clang does not know are passed over.
set -euo pipefail
cd "$(dirname "$0")/.."
db=${1:-build/test}
python3 - "$db/compile_commands.json" <<'PY' | xargs -0 -r -P "$(nproc)" -n 4 \
  clang-tidy -p "$db" --quiet --extra-arg=-Wno-unknown-warning-option
import json, os, sys
root = os.getcwd() + "/src/"
files = sorted({e["file"] for e in json.load(open(sys.argv[1]))
                if e["file"].startswith(root) and not e["file"].startswith(root + "ui/")})
sys.stdout.write("\0".join(files))
PY
