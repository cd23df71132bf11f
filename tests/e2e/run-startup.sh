#!/usr/bin/env bash
# Runs the end-to-end test of one running copy and its shut-down: a private X server, a private session bus with the
# accessibility bus, the PulseAudio null sink, a demo library, and the real tunquil.
#   tests/e2e/run-startup.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/tunquil-e2e.XXXXXX)
echo "work: $work"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
  stop_test_services
  [ -n "${KEEP_E2E:-}" ] || rm -rf "$work"
}
source "$here/scripts/test-services.sh"
trap cleanup EXIT
start_test_services

/usr/bin/python3 "$here/tests/e2e/make_tunes.py" "$work/tunes"
mkdir -p "$work/home"
printf '[Setup]\nRemindToScan=0\n[Format]\nTop=0\nLeft=0\nWidth=900\nHeight=600\n' >"$work/home/Tunquil.ini"

# A display number of our own: the first free one from a random start.
for n in $(seq $((100 + RANDOM % 400)) 600); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 1 300); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

eval "$(dbus-launch --sh-syntax)"
export XDG_RUNTIME_DIR=$work/runtime && mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TUNQUIL_RUNTIME_DIR=$work/bus
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
  --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null 2>&1 || true

/usr/bin/python3 "$here/tests/e2e/startup.py" "$build/tunquil" "$work/home" "$work/tunes"
