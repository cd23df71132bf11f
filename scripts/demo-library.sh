#!/usr/bin/env bash
# Fills a program directory with a demo library of real MIDI files (the openMSX tunes that
# bench/fetch-openmsx.sh fetches), under a few categories and artists. The tunes are copied
# into MUSIC_DIR/openMSX first (~/Music by default), so that their origins read as a user's
# would, not as the build's folders.
#   scripts/demo-library.sh BUILD_DIR HOME_DIR [MUSIC_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
home=$2
music=${3:-$HOME/Music}
"$here/bench/fetch-openmsx.sh" >/dev/null
mkdir -p "$music/openMSX"
cp -n "$here"/bench-data/openmsx/*.mid "$music/openMSX/" # never over a file of the user
tunes=("$music"/openMSX/*.mid)
ctl() { "$build/tunquilctl" --home "$home" "$@" >/dev/null; }
mkdir -p "$home"
ctl add --category "Blues and boogie" --artist "Redfarn" "${tunes[@]:0:10}"
ctl add --category "Railway songs" --artist "John Sawyer" "${tunes[@]:10:11}"
ctl add --category "Themes" --artist "Matthew Richards" "${tunes[@]:21}"
# One karaoke title: the first tune with a words track added, for the lyrics window.
words=$(mktemp -d)
/usr/bin/python3 "$here/tests/support/karaoke_tunes.py" "$words" "${tunes[0]}"
cp -n "$words/real.kar" "$music/openMSX/Sing along.kar"
rm -rf "$words"
ctl add --category "Karaoke" --artist "Redfarn" "$music/openMSX/Sing along.kar"
# Two albums in an order of their own.
ctl album create "Evening mix"
ctl album add "Evening mix" 12 3 25 7 18 30
ctl album create "Trains"
ctl album add "Trains" 11 14 16 19 21
