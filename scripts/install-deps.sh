#!/usr/bin/env bash
# Installs everything Tunquil needs to build, run and test on Debian 12.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev libgl-dev
  libfluidsynth-dev fluidsynth fluid-soundfont-gm timgm6mb-soundfont
  # MIDI ports: the ALSA sequencer and JACK. JACK's development files are named, so that apt
  # takes those of the JACK server most machines run (jackd2) for FluidSynth's too.
  libasound2-dev libjack-jackd2-dev jackd2 python3-jack-client
  libpulse-dev pulseaudio pulseaudio-utils
  libzip-dev zlib1g-dev zip unzip
  libsndfile1-dev libebur128-dev # audio export: encoding and loudness
  ffmpeg sox flac vorbis-tools # independent readers for the audio export's tests
  libssl-dev openssl libsecret-1-dev gnome-keyring dbus dbus-x11 libglib2.0-bin
  libgtest-dev libgmock-dev libbenchmark-dev libsmf-dev
  clang libclang-rt-14-dev
  python3 python3-aiosmtpd python3-mido
  openttd-openmsx # real MIDI tunes (free game music) for the tests of real files
  xdg-utils desktop-file-utils shared-mime-info libglib2.0-bin poppler-utils
  fonts-liberation2 mime-support media-types
  librsvg2-bin appstream lintian man-db groff-base dpkg-dev file
  xvfb xauth x11-utils x11-apps xdotool netpbm openbox dbus-x11 at-spi2-core python3-pyatspi libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  # Never take a package away from the user: a conflict stops here, naming what apt would remove.
  if ! $sudo_cmd apt-get install -y -q --no-install-recommends --no-remove "${missing[@]}"; then
    echo "install-deps: these packages cannot be installed without removing others (listed" >&2
    echo "above as REMOVED); nothing was removed. Resolve the conflict and run again." >&2
    exit 1
  fi
fi
