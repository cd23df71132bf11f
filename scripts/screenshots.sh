#!/usr/bin/env bash
# Starts Tunquil on a private X server over a demo library of real MIDI files and saves a
# picture of each window into docs/screenshots/.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
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

# The import windows start in the working directory: a folder of tunes to show there.
mkdir -p "$work/Tunes/Live" "$work/Tunes/Studio"
cp "$here"/bench-data/openmsx/*.mid "$work/Tunes/" 2>/dev/null || true
mkdir -p "$work/bus"
(cd "$work/Tunes" && DISPLAY=$display QT_QPA_PLATFORM=xcb TUNQUIL_RUNTIME_DIR="$work/bus" \
  "$build/tunquil" --home "$work/home" >"$work/tunquil.log" 2>&1) &
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

# The import windows, each opened from the File menu by its accelerator and closed with Escape.
shoot_window() { # KEY TITLE FILE
  local id="" main
  # Without a window manager the keyboard goes where it is sent: to the main window.
  main=$(DISPLAY=$display xdotool search --onlyvisible --name '^Tunquil$' | head -1)
  DISPLAY=$display xdotool windowfocus --sync "$main"
  DISPLAY=$display xdotool key alt+f
  sleep 0.5
  DISPLAY=$display xdotool key "$1"
  for _ in $(seq 1 100); do
    id=$(DISPLAY=$display xdotool search --onlyvisible --name "^ ?$2\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window \"$2\"" >&2; return 1; }
  sleep 1
  DISPLAY=$display xwd -id "$id" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/$3"
  echo "saved $out/$3"
  DISPLAY=$display xdotool key Escape
  for _ in $(seq 1 50); do
    DISPLAY=$display xdotool search --onlyvisible --name "^ ?$2\$" >/dev/null 2>&1 || break
    sleep 0.1
  done
}

# The add-local-files window (File > Open).
shoot_window o "Select MIDI files to add" add-local-files.png

# The drive-scan window (File > Scan a drive for MIDI files...).
shoot_window d "Scan a drive for MIDI files" drive-scan.png

# The system-scan window (File > Scan system for MIDI files...).
shoot_window s "Scan system for MIDI files" system-scan.png
