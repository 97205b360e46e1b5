#!/bin/sh
# A host library missing when the module is loaded: a copy of Corvane.dll whose import of
# ui.dll names a library that does not exist. LoadLibraryA must fail before any of the module
# runs, and corvane-host must say so and exit with 3.
# Usage: missing-host-library.sh WINE_RUN BIN_DIR
set -eu
wine_run=$1
bin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$bin/Corvane.dll" "$work/Corvane.dll" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
name = b"\0ui.dll\0"
at = data.find(name)
if at < 0 or data.find(name, at + 1) >= 0:
    sys.exit("Corvane.dll does not name ui.dll exactly once")
data[at + 1:at + 3] = b"uX"
open(sys.argv[2], "wb").write(data)
PY

"$wine_run" "$bin/corvane-host.exe" init "$work/profile" --url http://127.0.0.1:9/ >/dev/null
status=0
"$wine_run" "$bin/corvane-host.exe" run "$work/profile" --module "$work/Corvane.dll" \
  >"$work/out" 2>"$work/err" || status=$?
cat "$work/out" "$work/err"
[ "$status" -eq 3 ] || { echo "expected exit 3, got $status"; exit 1; }
grep -q "cannot be loaded" "$work/err" || { echo "no load failure reported"; exit 1; }
# No line of the module's: its code never ran.
if grep -q "Features" "$work/out"; then echo "the module logged although it failed to load"; exit 1; fi
echo "a missing host library was reported and nothing of the module ran"
