#!/usr/bin/env bash
# Runs the main window's end-to-end test: a private X server, a private session bus with the
# accessibility bus, the PulseAudio null sink, a demo library, and the real tunquil.
#   tests/e2e/run-main-window.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/tunquil-e2e.XXXXXX)
source "$here/tests/e2e/desktop.sh"
start_desktop "$work"

/usr/bin/python3 "$here/tests/e2e/make_tunes.py" "$work/tunes"
mkdir -p "$work/home"
"$build/tunquilctl" --home "$work/home" add --category "Demo" --artist "Ann Lee" "$work"/tunes/*.mid >/dev/null
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/main_window.py" "$build/tunquil" "$work/home"
