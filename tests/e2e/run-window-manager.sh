#!/usr/bin/env bash
# Runs one end-to-end test script against the real tunquil under a window manager (openbox) on
# a 1600 by 1000 screen, over the small library of run-library.sh: for what a person does with
# windows that a bare X server does not model (focus, stacking, stay-on-top, placement).
#   tests/e2e/run-window-manager.sh BUILD_DIR SCRIPT.py
set -euo pipefail
export E2E_WINDOW_MANAGER=openbox E2E_SCREEN=1600x1000x24
exec "$(dirname "$0")/run-library.sh" "$@"
