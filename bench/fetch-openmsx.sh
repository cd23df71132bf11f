#!/usr/bin/env bash
# Fetches the openttd-openmsx package (31 General MIDI tunes) into bench-data/ and extracts its
# .mid files to bench-data/openmsx/. With a count, also fills bench-data/openmsx-COUNT/ with that
# many copies, so a benchmark sees a realistic number of distinct files (cold dentries, many
# opens) rather than the same 31 paths again and again.
#   bench/fetch-openmsx.sh [COUNT]
set -euo pipefail
count=${1:-0}
here=$(cd "$(dirname "$0")/.." && pwd)
data=$here/bench-data
mkdir -p "$data"
cd "$data"

if [ ! -d openmsx ] || [ -z "$(ls -A openmsx 2>/dev/null)" ]; then
  deb=$(ls openttd-openmsx_*.deb 2>/dev/null | head -1 || true)
  if [ -z "$deb" ]; then
    apt-get download openttd-openmsx
    deb=$(ls openttd-openmsx_*.deb | head -1)
  fi
  rm -rf openmsx-extract openmsx
  dpkg-deb -x "$deb" openmsx-extract
  mkdir -p openmsx
  find openmsx-extract -iname '*.mid' -exec cp {} openmsx/ \;
  rm -rf openmsx-extract
fi
echo "$(ls openmsx | wc -l) files in $data/openmsx"

if [ "$count" -gt 0 ]; then
  out=openmsx-$count
  if [ "$(ls "$out" 2>/dev/null | wc -l)" -ne "$count" ]; then
    rm -rf "$out"
    mkdir -p "$out"
    mapfile -t files < <(ls openmsx)
    n=${#files[@]}
    for ((i = 0; i < count; i++)); do
      f=${files[i % n]}
      cp "openmsx/$f" "$(printf '%s/%05d-%s' "$out" "$i" "$f")"
    done
  fi
  echo "$count files in $data/$out"
fi
