#!/usr/bin/env bash
# Runs the lyrics end-to-end test: a private X server and accessibility bus, a library of one
# karaoke title (a real tune of the demo with words added), the real tunquil.
#   tests/e2e/run-lyrics.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"

/usr/bin/python3 "$here/tests/support/karaoke_tunes.py" "$work/karaoke" "$work/tunes/Blue Harbour.mid"
mv "$work/karaoke/real.kar" "$work/karaoke/Sing Along.kar"
mkdir -p "$work/home"
"$build/tunquilctl" --home "$work/home" add --category "Karaoke" --artist "Ann Lee" "$work/karaoke/Sing Along.kar" >/dev/null
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/lyrics.py" "$build/tunquil" "$work/home" "$build" "$work/karaoke/real.lrc"
