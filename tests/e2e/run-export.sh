#!/usr/bin/env bash
# Runs the end-to-end test of getting titles out: a private X server and accessibility bus, a
# demo library of two categories, and the real tunquil printing one to PDF and saving the other.
#   tests/e2e/run-export.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"
# No print server answers here, so the report goes to a PDF file the user names.
export CUPS_SERVER=$work/no-print-server

mkdir -p "$work/home" "$work/out"
"$build/tunquilctl" --home "$work/home" add --category "Demo" --artist "Ann Lee" \
  "$work/tunes/Morning Walk.mid" "$work/tunes/Blue Harbour.mid" >/dev/null
"$build/tunquilctl" --home "$work/home" add --category "Pair" --artist "Bo Day" \
  "$work/tunes/Candle Light.mid" "$work/tunes/Dance of Ten.mid" >/dev/null
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/export.py" "$build/tunquil" "$work/home" "$work/out"
