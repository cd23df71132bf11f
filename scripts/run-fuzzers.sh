#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build, seeded from fuzz/corpus/<name>, within one time budget
# for all of them (seconds, divided evenly, so that adding targets never lengthens the run) and
# a memory limit each. Crash inputs are written to fuzz/crashes/<name>/, to be kept in git: the
# core tests replay them.
#   run-fuzzers.sh BUILD [TOTAL_SECONDS] [RSS_LIMIT_MB]
set -euo pipefail
build=$1
total=${2:-360}
rss=${3:-512}
here=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets built"
  exit 0
fi
per=$((total / ${#targets[@]}))
[ "$per" -ge 1 ] || per=1
for t in "${targets[@]}"; do
  name=$(basename "$t")
  name=${name#fuzz_}
  work=$(mktemp -d)
  crashes="$here/fuzz/crashes/$name"
  mkdir -p "$crashes"
  seeds=()
  [ -d "$here/fuzz/corpus/$name" ] && seeds=("$here/fuzz/corpus/$name")
  echo "fuzzing $name for ${per}s"
  "$t" -max_total_time="$per" -max_len=65536 -rss_limit_mb="$rss" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$work" "${seeds[@]}" 2>"$work.log" ||
    { tail -60 "$work.log"; exit 1; }
  rmdir "$crashes" 2>/dev/null || true
  grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec|Done' "$work.log" | tail -3
  rm -rf "$work" "$work.log"
done
