#!/usr/bin/env bash
# Runs the end-to-end test of one running copy and its shut-down on a private desktop (see
# desktop.sh): a hand-over from a second start, File > Exit with its question, SIGTERM.
#   tests/e2e/run-startup.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"

mkdir -p "$work/home"
printf '[Setup]\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/startup.py" "$build/tunquil" "$work/home" "$work/tunes"
