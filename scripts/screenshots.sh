#!/usr/bin/env bash
# Starts Tunquil on a private X server over a demo library of real MIDI files and saves a
# picture of each window into docs/screenshots/.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d /tmp/tunquil-shots.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

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

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1020x670x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do
  DISPLAY=$display xwd -root -silent >/dev/null 2>&1 && break
  sleep 0.1
done

DISPLAY=$display QT_QPA_PLATFORM=xcb \
  "$build/tunquil" --home "$work/home" >"$work/tunquil.log" 2>&1 &
pids+=($!)
# Wait for the main window, then for a screen that no longer changes (the views are filled).
for _ in $(seq 1 300); do
  DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"Tunquil"' && break
  sleep 0.1
done
previous=""
for _ in $(seq 1 150); do
  sleep 0.2
  now=$(DISPLAY=$display xwd -root -silent | md5sum)
  [ "$now" = "$previous" ] && [ -n "$previous" ] && break
  previous=$now
done
DISPLAY=$display xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/main-window.png"
echo "saved $out/main-window.png"

# The plug-in's management dialog: a first start (no Tunquil.ini) without a file to open, on a
# desktop of its own whose browser has a plug-in folder, shows it by itself.
mkdir -p "$work/npi/home" "$work/npi/config/Tunquil" "$work/npi/plugins"
cat >"$work/npi/config/Tunquil/registry.ini" <<INI
[HKEY_CURRENT_USER\\Software\\Netscape\\Netscape Navigator\\Main]
Install Directory=$work/npi/navigator
[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape Navigator]
CurrentVersion=4.7
[HKEY_LOCAL_MACHINE\\Software\\Netscape\\Netscape Navigator\\4.7\\Main]
Plugins Directory=$work/npi/plugins
INI
DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/npi/config XDG_DATA_HOME=$work/npi/data \
  TUNQUIL_RUNTIME_DIR=$work/npi/bus \
  "$build/tunquil" --home "$work/npi/home" >"$work/npi.log" 2>&1 &
pids+=($!)
# The scan question of a first start comes first: it is declined (Escape), then the dialog shows.
dialog=""
for _ in $(seq 1 300); do
  dialog=$(DISPLAY=$display xwininfo -root -tree 2>/dev/null |
    awk '/" Manage Navigator plugin"/ {print $1; exit}')
  [ -n "$dialog" ] && break
  for id in $(DISPLAY=$display xdotool search --onlyvisible --name '^Tunquil$' 2>/dev/null); do
    if DISPLAY=$display xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q DIALOG; then
      DISPLAY=$display xdotool windowfocus --sync "$id" key Escape 2>/dev/null || true
      sleep 0.5
    fi
  done
  sleep 0.1
done
# The splash of this start closes, and the dialog paints, before the screen stops changing.
previous=""
for _ in $(seq 1 150); do
  sleep 0.2
  now=$(DISPLAY=$display xwd -id "$dialog" -silent | md5sum)
  [ "$now" = "$previous" ] && [ -n "$previous" ] && break
  previous=$now
done
DISPLAY=$display xwd -id "$dialog" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/manage-plugin.png"
echo "saved $out/manage-plugin.png"
