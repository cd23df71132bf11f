#!/usr/bin/env bash
# Fetches the benchmark tunes (2,000 copies of openttd-openmsx's MIDI files) and times the
# import and the title archive against zip -9. Pass the build directory (default build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
"$here/bench/fetch-openmsx.sh" 2000
cmake --build "$build" --target bench_import_speed
cd "$here"
"$build/bench/bench_import_speed" "$here/bench-data/openmsx-2000"
