#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   scripts/setup.sh start   install what is needed, build, and start Tunquil
#   scripts/setup.sh test    install what is needed, build, and run every test
#   scripts/setup.sh package install what is needed, build, and make build/tunquil_<version>_amd64.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
jobs=$(nproc 2>/dev/null || echo 2)
# The compiler cache keys on paths relative to the checkout, so that a fresh clone elsewhere
# reuses what an earlier one compiled.
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1

configure_and_build() { # build-dir, then extra cmake arguments
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# The tests that time what the sound server plays to within 100 ms run on their own; a
# measurement disturbed by the machine's other work gets one more try.
run_listening_tests() { # build-dir
  ctest --test-dir "$1" -L listening --output-on-failure --repeat until-pass:2
}

case "${1:-}" in
start)
  bash scripts/install-deps.sh
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNQUIL_TESTS=OFF -DTUNQUIL_BENCH=OFF
  exec ./build/tunquil "${@:2}"
  ;;
test)
  bash scripts/install-deps.sh
  # The sound tests play into a private PulseAudio server with a null sink.
  source scripts/test-services.sh
  start_test_services
  trap stop_test_services EXIT

  # Fuzz the parsers of outside input under the sanitizers: one budget of seconds for all the
  # targets together, 512 MB of memory each.
  CC=clang CXX=clang++ configure_and_build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTUNQUIL_FUZZ=ON -DTUNQUIL_GUI=OFF -DTUNQUIL_TESTS=OFF -DTUNQUIL_BENCH=OFF
  bash scripts/run-fuzzers.sh build-fuzz "${TUNQUIL_FUZZ_SECONDS:-360}" 512

  # The core tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTUNQUIL_SANITIZE=ON \
    -DTUNQUIL_GUI=OFF -DTUNQUIL_BENCH=OFF
  export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
  run_listening_tests build-asan
  ctest --test-dir build-asan -L core --output-on-failure -j "$jobs"
  unset ASAN_OPTIONS UBSAN_OPTIONS

  # The tests whose code runs threads (the sequencer's clock, the message bus, the mail
  # socket) under ThreadSanitizer, which reports any data race they provoke. The synthesizer
  # library's OpenMP runtime is not instrumented: it runs on one thread here, so that its pool's
  # own bookkeeping is not taken for a race of ours.
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNQUIL_THREAD_SANITIZE=ON \
    -DTUNQUIL_GUI=OFF -DTUNQUIL_BENCH=OFF >/dev/null
  cmake --build build-tsan -j "$jobs" --target test_platform test_export test_app
  OMP_NUM_THREADS=1 TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan -L core \
    --output-on-failure -j "$jobs" \
    -R 'FluidSynthSequencer|MessageBus|Smtp|Mail|TagSocket|SingleInstance'

  # Everything, in the normal build; the summary of the rest closes the run.
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  run_listening_tests build
  QT_QPA_PLATFORM=offscreen ctest --test-dir build -LE listening --output-on-failure -j "$jobs"
  ;;
package)
  bash scripts/install-deps.sh
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNQUIL_TESTS=OFF -DTUNQUIL_BENCH=OFF
  (cd build && cpack -G DEB)
  ;;
*)
  echo "usage: scripts/setup.sh start|test|package" >&2
  exit 2
  ;;
esac
