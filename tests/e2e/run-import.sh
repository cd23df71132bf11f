#!/usr/bin/env bash
# Runs the import windows' end-to-end test: a private X server, a private session bus with the
# accessibility bus, an empty library, real MIDI files, and the real tunquil.
#   tests/e2e/run-import.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"

mkdir -p "$work/picked" "$work/home"
mv "$work/tunes/Dance of Ten.mid" "$work/picked/"
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

/usr/bin/python3 "$here/tests/e2e/import.py" "$build/tunquil" "$work/home" "$work"

# What the windows added, as the library holds it.
listing=$("$build/tunquilctl" --home "$work/home" list --tsv)
echo "$listing"
expect() {
  grep -qF -- "$1" <<<"$listing" || { echo "missing from the library: $1" >&2; exit 1; }
}
for title in "Morning Walk" "Blue Harbour" "Candle Light"; do
  expect "$(printf 'E2E Scanned\tJohn Smith\t%s\t' "$title")"
done
expect "$(printf 'E2E Picked\tAnn Lee\tDance of Ten\t')"
[ "$(grep -c . <<<"$listing")" -eq 5 ] || { echo "expected four titles" >&2; exit 1; }
echo "import end-to-end: the library holds what the windows added"
