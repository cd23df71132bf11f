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

# The editing dialogs, opened from the keyboard as a person would: the rename dialog from the
# Categories menu, the title-information window with F2 on the title selected at start-up. A
# dialog is taken by itself: without a window manager the root picture shows it unpainted.
dialog_shot() {
  local name=$1 title=$2 id="" previous="" now
  for _ in $(seq 1 100); do
    id=$(DISPLAY=$display xdotool search --name "$title" 2>/dev/null | head -1) || true
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "no window \"$title\" to take" >&2; return 0; }
  sleep 1 # mapped before it is first painted
  for _ in $(seq 1 50); do
    sleep 0.2
    now=$(DISPLAY=$display xwd -id "$id" -silent | md5sum)
    [ "$now" = "$previous" ] && [ -n "$previous" ] && break
    previous=$now
  done
  DISPLAY=$display xwd -id "$id" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/$name.png"
  echo "saved $out/$name.png"
}
# The main window takes the keyboard once its title grid is clicked.
DISPLAY=$display xdotool mousemove 600 300 click 1
sleep 1
DISPLAY=$display xdotool key alt+c
sleep 1
DISPLAY=$display xdotool key c
dialog_shot rename-dialog "Enter new"
DISPLAY=$display xdotool key Escape
sleep 1
DISPLAY=$display xdotool mousemove 600 300 click 1
sleep 1
DISPLAY=$display xdotool key F2
dialog_shot title-information "MIDI Selection Information"
DISPLAY=$display xdotool key Escape
