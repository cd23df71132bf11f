#!/usr/bin/env bash
# Runs the editing end-to-end test: a private X server and accessibility bus, a demo library,
# the real tunquil driven by mouse and keys, then tunquilctl reading what it saved.
#   tests/e2e/run-editing.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"

mkdir -p "$work/home"
"$build/tunquilctl" --home "$work/home" add --category "Demo" --artist "Ann Lee" "$work"/tunes/*.mid >/dev/null
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/editing.py" "$build/tunquil" "$build/tunquilctl" "$work/home"
