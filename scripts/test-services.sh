# Sourced by the test runner: starts the services the tests talk to, on private sockets.
#   start_test_services   a PulseAudio server with a null sink "tunquil_null" as default sink
#                         (as root too: pulseaudio only warns when not started with --system);
#                         from then on the sound tests require it: one that did not start
#                         fails them instead of letting them skip themselves
#                         and a JACK server with the dummy backend (no sound card), under a
#                         server name of its own so that it never meets the user's JACK;
#                         JACK_DEFAULT_SERVER points the tests at it and
#                         TUNQUIL_JACK_REQUIRED=1 makes the MIDI port tests require it
#   stop_test_services    ends them again

start_test_services() {
  export TUNQUIL_TEST_RUNTIME=$(mktemp -d /tmp/tunquil-test-services.XXXXXX)
  export PULSE_RUNTIME_PATH="$TUNQUIL_TEST_RUNTIME/pulse"
  export PULSE_STATE_PATH="$TUNQUIL_TEST_RUNTIME/pulse-state"
  export PULSE_SERVER="unix:$PULSE_RUNTIME_PATH/native"
  export TUNQUIL_SOUND_SERVER_REQUIRED=1
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  if command -v pulseaudio >/dev/null; then
    pulseaudio --daemonize=yes --exit-idle-time=-1 --system=false --disallow-exit \
      --use-pid-file=yes --log-target=file:"$TUNQUIL_TEST_RUNTIME/pulse.log" \
      -n --load="module-native-protocol-unix socket=$PULSE_RUNTIME_PATH/native auth-anonymous=1" \
      --load="module-null-sink sink_name=tunquil_null rate=44100 channels=2" \
      --load="module-always-sink" 2>>"$TUNQUIL_TEST_RUNTIME/pulse.log" || true
    for _ in $(seq 1 50); do
      pactl info >/dev/null 2>&1 && break
      sleep 0.1
    done
    pactl set-default-sink tunquil_null >/dev/null 2>&1 || true
  fi
  # A server that did not come up must not leave the tests pointed at a dead socket; the sound
  # tests then fail, naming the missing server, and the others run on.
  if ! pactl info >/dev/null 2>&1; then
    echo "test-services: no PulseAudio server; the sound tests will fail" >&2
    [ -f "$TUNQUIL_TEST_RUNTIME/pulse.log" ] && tail -5 "$TUNQUIL_TEST_RUNTIME/pulse.log" >&2
    unset PULSE_SERVER
  fi
  start_test_jack
}

start_test_jack() {
  command -v jackd >/dev/null || {
    echo "test-services: no jackd; the MIDI port tests will skip themselves" >&2
    return 0
  }
  export JACK_DEFAULT_SERVER="tunquil-test-$$"
  export JACK_NO_START_SERVER=1 # a client must never start a server of its own instead
  # Real-time scheduling where the machine grants it (the server goes on without it where it
  # does not), so that its periods come on time beside the builds; 48 kHz, 256-frame periods.
  jackd --realtime --name "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 \
    >"$TUNQUIL_TEST_RUNTIME/jack.log" 2>&1 &
  echo $! >"$TUNQUIL_TEST_RUNTIME/jack.pid"
  for _ in $(seq 1 50); do
    jack_lsp >/dev/null 2>&1 && break
    sleep 0.1
  done
  export TUNQUIL_JACK_REQUIRED=1
}

stop_test_services() {
  # By the pid file, not by PULSE_SERVER: a server that started but never answered is ended too.
  local pidfile="${PULSE_RUNTIME_PATH:-}/pid"
  if [ -n "${PULSE_RUNTIME_PATH:-}" ] && [ -f "$pidfile" ]; then
    kill "$(cat "$pidfile")" >/dev/null 2>&1 || true
  fi
  if [ -n "${TUNQUIL_TEST_RUNTIME:-}" ] && [ -f "$TUNQUIL_TEST_RUNTIME/jack.pid" ]; then
    kill "$(cat "$TUNQUIL_TEST_RUNTIME/jack.pid")" >/dev/null 2>&1 || true
  fi
  [ -n "${TUNQUIL_TEST_RUNTIME:-}" ] && rm -rf "$TUNQUIL_TEST_RUNTIME"
  unset TUNQUIL_SOUND_SERVER_REQUIRED TUNQUIL_JACK_REQUIRED JACK_DEFAULT_SERVER JACK_NO_START_SERVER
}
