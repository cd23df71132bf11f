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

# The demo tunes lie in the user's own Music folder, as a user's library would; the copies go
# again at the end unless the folder was there before.
music=$HOME/Music
[ -e "$music/openMSX" ] || trap '_stop_desktop; rm -rf "$music/openMSX"; rmdir "$music" 2>/dev/null || true' EXIT
"$here/scripts/demo-library.sh" "$build" "$work/home" "$music"
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

# A browser with a plug-in folder, for the plug-in dialog that a first start shows by itself.
mkdir -p "$work/npi/home" "$work/npi/config/Tunquil" "$work/npi/plugins"
cat >"$work/npi/config/Tunquil/registry.ini" <<INI
[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Main]
Install Directory=$work/npi/navigator
[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape Navigator]
CurrentVersion=4.7
[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape Navigator\\4.7\\Main]
Plugins Directory=$work/npi/plugins
INI

# The import windows start in the working directory: a folder of tunes to show there.
mkdir -p "$work/Tunes/Live" "$work/Tunes/Studio"
cp "$here"/bench-data/openmsx/*.mid "$work/Tunes/"
cd "$work/Tunes"
PYTHONPATH=$here/tests/e2e /usr/bin/python3 "$here/scripts/screenshot_tour.py" \
  "$build/tunquil" "$work/home" "$out" "$work/npi"
