# The private desktop of an end-to-end test, sourced by its run script: the PulseAudio null sink,
# an X server, a session bus with the accessibility bus, and XDG and bus folders under WORK.
# Everything is stopped, and WORK removed, when the script exits.
#   source tests/e2e/desktop.sh; start_desktop WORK
# or, for a run script: start_e2e BUILD_DIR, which sets `here`, `build` and `work`, starts the
# desktop there and writes four real tunes into $work/tunes.

_desktop_xvfb=""
_desktop_work=""
_stop_desktop() {
  # The X server is waited for: one that is still going away could remove the socket of the
  # next test's server on the same display.
  if [ -n "$_desktop_xvfb" ]; then
    kill "$_desktop_xvfb" 2>/dev/null || true
    wait "$_desktop_xvfb" 2>/dev/null || true
  fi
  [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null || true
  stop_test_services
  [ -n "$_desktop_work" ] && rm -rf "$_desktop_work"
}

start_desktop() {
  local work=$1 here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  _desktop_work=$work
  source "$here/scripts/test-services.sh"
  trap _stop_desktop EXIT
  start_test_services

  # The X server picks a free display itself and tells it once it accepts clients, so two
  # tests starting at once can never take the same one. Tried again should it die early. It
  # never resets: a server resets when its last client leaves, and refuses the clients that
  # come meanwhile (the checks and helpers below come and go before the program starts).
  local n=""
  for _ in 1 2 3; do
    : >"$work/xvfb.display"
    Xvfb -displayfd 3 -noreset -screen 0 "${E2E_SCREEN:-1024x768x24}" -nolisten tcp 3>"$work/xvfb.display" \
      >"$work/xvfb.log" 2>&1 &
    _desktop_xvfb=$!
    for _ in $(seq 1 600); do
      [ -s "$work/xvfb.display" ] && break
      kill -0 "$_desktop_xvfb" 2>/dev/null || break
      sleep 0.1
    done
    n=$(head -n 1 "$work/xvfb.display")
    [ -n "$n" ] && DISPLAY=:$n xwininfo -root >/dev/null 2>&1 && break
    kill "$_desktop_xvfb" 2>/dev/null || true
    n=""
  done
  [ -n "$n" ] || { echo "no X server could be started:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$n
  # With E2E_WINDOW_MANAGER=openbox the windows are placed, framed, focused and stacked as on a
  # desktop (stay-on-top windows included), which the tests of gestures and of focus need.
  if [ "${E2E_WINDOW_MANAGER:-}" = openbox ]; then
    openbox --sm-disable >"$work/openbox.log" 2>&1 &
    for _ in $(seq 1 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
      sleep 0.1
    done
  fi

  eval "$(dbus-launch --sh-syntax)"
  export XDG_RUNTIME_DIR=$work/runtime && mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TUNQUIL_RUNTIME_DIR=$work/bus
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
  # The program looks for the accessibility bus once, as it starts: the bus must answer first.
  a11y() { gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus "$@" >/dev/null 2>&1; }
  for _ in $(seq 1 600); do a11y --method org.a11y.Bus.GetAddress && break; sleep 0.1; done
  a11y --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' || true
}

start_e2e() {
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  build=$(cd "$1" && pwd)
  work=$(mktemp -d /tmp/tunquil-e2e.XXXXXX)
  start_desktop "$work"
  /usr/bin/python3 "$here/tests/e2e/make_tunes.py" "$work/tunes"
}
