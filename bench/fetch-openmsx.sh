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

# The tunes come from the installed package (scripts/install-deps.sh installs it); without it,
# from the package file, downloaded once into the user's cache and kept there for every later
# checkout.
installed=/usr/share/games/openttd/baseset/openmsx
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tunquil-build
if [ ! -d openmsx ] || [ -z "$(ls -A openmsx 2>/dev/null)" ]; then
  rm -rf openmsx-extract openmsx
  mkdir -p openmsx
  if compgen -G "$installed/*.mid" >/dev/null; then
    cp "$installed"/*.mid openmsx/
  else
    deb=$(ls "$cache"/openttd-openmsx_*.deb 2>/dev/null | head -1 || true)
    if [ -z "$deb" ]; then
      mkdir -p "$cache"
      (cd "$cache" && apt-get download openttd-openmsx)
      deb=$(ls "$cache"/openttd-openmsx_*.deb | head -1)
    fi
    dpkg-deb -x "$deb" openmsx-extract
    find openmsx-extract -iname '*.mid' -exec cp {} openmsx/ \;
    rm -rf openmsx-extract
  fi
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
