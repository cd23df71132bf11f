#!/usr/bin/env bash
# Runs one end-to-end test script against the real tunquil over a small library (four real
# tunes in "Demo" by "Ann Lee") on a private desktop (see desktop.sh): an X server, a session
# bus with the accessibility bus, the PulseAudio null sink.
#   tests/e2e/run-library.sh BUILD_DIR SCRIPT.py
set -euo pipefail
script=$2
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"

mkdir -p "$work/home"
"$build/tunquilctl" --home "$work/home" add --category "Demo" --artist "Ann Lee" "$work"/tunes/*.mid >/dev/null
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/$script" "$build/tunquil" "$work/home" "$build"
