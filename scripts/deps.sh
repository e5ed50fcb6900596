#!/usr/bin/env bash
# Installs every Debian package that building, playing and testing need,
# when one is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

PACKAGES=(
  # build
  cmake make g++ pkg-config
  # window, fonts and sound
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev fonts-dejavu-core
  # the recordings, made at build time
  libespeak-ng-dev espeak-ng-data libsamplerate0-dev
  # the speech data quality check: word list, texts, reference pronunciation
  wbrazilian fortunes-br espeak-ng
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # the real-window and real-sound tests
  xvfb xdotool x11-utils pulseaudio pulseaudio-utils sox time
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
