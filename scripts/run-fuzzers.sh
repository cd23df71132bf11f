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
# As many targets at once as there are cores: each still gets its share of the budget, and the
# run takes the budget divided by the cores.
parallel=$(nproc 2>/dev/null || echo 1)

fuzz_one() { # target
  local t=$1 name work crashes seeds=()
  name=$(basename "$t")
  name=${name#fuzz_}
  work=$(mktemp -d)
  crashes="$here/fuzz/crashes/$name"
  mkdir -p "$crashes"
  [ -d "$here/fuzz/corpus/$name" ] && seeds=("$here/fuzz/corpus/$name")
  if "$t" -max_total_time="$per" -max_len=65536 -rss_limit_mb="$rss" -timeout=30 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "${seeds[@]}" 2>"$work.log"; then
    rmdir "$crashes" 2>/dev/null || true
    echo "fuzzed $name for ${per}s: $(grep -E 'stat::number_of_executed_units' "$work.log" |
      tail -1 | awk '{print $2}') inputs"
    rm -rf "$work" "$work.log"
  else
    echo "fuzzing $name failed:"
    tail -60 "$work.log"
    rm -rf "$work" "$work.log"
    return 1
  fi
}

failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  fuzz_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
