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

# ---- the windows that take titles out: print parameters, save, mail, mail setup, archiving.
# Driven from the keyboard as a person would; each window is waited for by its title and
# pictured alone (a modal window shows black in a picture of the whole screen here).
x() { DISPLAY=$display xdotool "$@"; }
# The window titled $1 (a pattern), waited for up to 10 s, focused.
window() {
  local id=""
  for _ in $(seq 1 50); do
    id=$(x search --onlyvisible --limit 1 --name "^$1\$" 2>/dev/null) && [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { echo "no window titled $1" >&2; exit 1; }
  x windowfocus "$id" 2>/dev/null || true
  echo "$id"
}
# Saves a picture of the window titled $2 as $1.png once it has been painted.
shot() {
  local id
  id=$(window "$2")
  sleep 1.5
  DISPLAY=$display xwd -id "$id" -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/$1.png"
  echo "saved $out/$1.png"
}
# Opens the Categories menu, goes $1 items down to a feature, and chooses the item $2 down
# in its submenu. Rows: Play, Sort by, Create new, Rename, Delete, Mail, Archive, Save to
# disk, Print; submenu rows: Titles selected, Active category, All categories.
categories_item() {
  window Tunquil >/dev/null
  x key --delay 80 alt+c
  for _ in $(seq 1 "$1"); do x key --delay 40 Down; done
  x key --delay 80 Right
  for _ in $(seq 1 "$2"); do x key --delay 40 Down; done
  x key Return
}
categories_item 8 2
shot print-parameters "Set printing parameters"
x key Escape

categories_item 7 0
shot save-title "Save .* to\.\.\."
x key Escape

categories_item 5 2
shot mail-window " Mail the attached .*"
x key --delay 80 alt+s Return
shot mail-setup "Tunquil mail setup"
x key Escape

# The archive is written into a pipe nobody feeds yet, so the window stays up mid-way.
mkfifo "$work/held.zip"
categories_item 6 2
window "Enter the name for this .*-title archive\.\.\." >/dev/null
x type --delay 20 "$work/held.zip"
# Tab takes away the list of completions first, so that it leaves nothing unpainted.
sleep 0.5
x key --delay 200 Tab Return
shot create-archive "Archiving\.\.\."
# The window is held for good: the program goes without finishing the archive.
kill -KILL "${pids[-1]}"
