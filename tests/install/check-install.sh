#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the tree as the desktop and the
# distribution's tools read it.
#   tests/install/check-install.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
usr=$work/root/usr
files=(bin/tunquilctl libexec/tunquil/tunquil-plugin-helper
  share/applications/tunquil.desktop share/mime/packages/tunquil.xml
  share/metainfo/org.tunquil.Tunquil.metainfo.xml
  share/man/man1/tunquil.1.gz share/man/man1/tunquilctl.1.gz
  share/bash-completion/completions/tunquilctl share/icons/hicolor/scalable/apps/tunquil.svg
  share/doc/tunquil/copyright)
[ -x "$build/tunquil" ] && files+=(bin/tunquil)
for f in "${files[@]}"; do
  [ -f "$usr/$f" ] || fail "not installed: $f"
done
for size in 16 32 48 64 128 256; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/tunquil.png
  [ -f "$png" ] || fail "no icon of $size pixels"
  # The width and height of a PNG stand at bytes 16 to 23 of its header.
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w $h" = "$size $size" ] || fail "icon $png is ${w}x$h"
done

desktop-file-validate "$usr/share/applications/tunquil.desktop" || fail "desktop entry"
grep -qx 'Exec=tunquil --verb P %f' "$usr/share/applications/tunquil.desktop" ||
  fail "the desktop entry does not start the installed program"
appstreamcli validate --no-net "$usr/share/metainfo/org.tunquil.Tunquil.metainfo.xml" >"$work/as" 2>&1 ||
  { cat "$work/as" >&2; fail "metainfo"; }

for page in tunquil tunquilctl; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
# Every command of the help is in the manual page, and each registered its summary.
! zcat "$usr/share/man/man1/tunquilctl.1.gz" | grep -q "(no description)" ||
  fail "a command without a summary: $(zcat "$usr/share/man/man1/tunquilctl.1.gz" | grep -B1 "(no description)")"
for command in $("$build/tunquilctl" help | awk '/^  [a-z]/ {print $1}'); do
  # The page writes a command's hyphens as roff's "\-".
  zcat "$usr/share/man/man1/tunquilctl.1.gz" | grep -q "^\\\\fB${command//-/\\\\-}\\b" ||
    fail "man tunquilctl lacks $command"
done

completion=$usr/share/bash-completion/completions/tunquilctl
bash -n "$completion" || fail "completion script"
complete_line() { # the words typed, the last one being completed
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tunquilctl; echo "${COMPREPLY[*]}"' \
    _ "$completion" "$@"
}
[ "$(complete_line tunquilctl al)" = "album albums" ] || fail "al<Tab>: $(complete_line tunquilctl al)"
[ "$(complete_line tunquilctl --home /tmp list --s)" = "--sort" ] || fail "list --s<Tab>"
mkdir -p "$work/tunes/sub"
touch "$work/tunes/a.mid" "$work/tunes/b.txt" "$work/tunes/c.sf2"
(cd "$work/tunes" && [ "$(complete_line tunquilctl info '')" = "sub a.mid" ]) || fail "info <Tab>"
(cd "$work/tunes" && [ "$(complete_line tunquilctl render --soundfont '')" = "sub c.sf2" ]) ||
  fail "render --soundfont <Tab>"
echo "installed tree checked"
