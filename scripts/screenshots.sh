#!/usr/bin/env bash
# Starts Tunquil on a private desktop over a demo library of real MIDI files, opens each window
# as a person would (through the accessibility bus) and saves its picture into docs/screenshots/.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=$here/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d /tmp/tunquil-shots.XXXXXX)
source "$here/tests/e2e/desktop.sh"
start_desktop "$work"

"$here/scripts/demo-library.sh" "$build" "$work/home"
# A window size that shows all three areas at their usual proportions.
cat >"$work/home/Tunquil.ini" <<'INI'
[Setup]
ConfirmBeforeExit=0
RemindToScan=0
[Format]
Top=0
Left=0
Width=1000
Height=640
AlbPanelWidth=260
INI

PYTHONPATH=$here/tests/e2e /usr/bin/python3 "$here/scripts/screenshot_tour.py" \
  "$build/tunquil" "$work/home" "$out"
