#!/usr/bin/env bash
# Runs the end-to-end test of the default-player menu items on a private desktop (see
# desktop.sh): another player is the default of audio/midi before Tunquil starts.
#   tests/e2e/run-desktop.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/desktop.sh"
start_e2e "$1"
# xdg-mime answers from mimeapps.list itself only outside a known desktop environment.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID

mkdir -p "$work/home" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
printf '[Setup]\nConfirmBeforeExit=0\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"
printf '[Desktop Entry]\nType=Application\nName=Former Player\nExec=true %%f\nMimeType=audio/midi;\n' \
  >"$XDG_DATA_HOME/applications/formerplayer.desktop"
printf '[Default Applications]\naudio/midi=formerplayer.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

/usr/bin/python3 "$here/tests/e2e/desktop_menu.py" "$build/tunquil" "$work/home" "$work/tunes"
