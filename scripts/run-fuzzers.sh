#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time each (seconds per target), seeded
# from fuzz/corpus/<name>.
set -euo pipefail
build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
per=$seconds
for t in "${targets[@]}"; do
  name=$(basename "$t")
  name=${name#fuzz_}
  work=$(mktemp -d)
  seeds=()
  [ -d "$here/fuzz/corpus/$name" ] && seeds=("$here/fuzz/corpus/$name")
  echo "fuzzing $name for ${per}s"
  "$t" -max_total_time="$per" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
    "$work" "${seeds[@]}" 2>"$work.log" || { tail -60 "$work.log"; exit 1; }
  grep -E 'stat::number_of_executed_units|Done' "$work.log" | tail -2
  rm -rf "$work" "$work.log"
done
