#!/bin/sh
# Installs every Debian package needed to build, run and test Zorvel.
# The asterisk-core-sounds voice prompts are recorded speech: English,
# Spanish and Italian train the default quantiser tables
# (scripts/train-tables.sh), French is the held-out speech they are measured on.
# The Python module is built with pybind11 for the system's Python and numpy;
# its tests run with pytest, and its example draws with matplotlib.
# Safe to run again: apt-get skips what is already installed.
set -eu

PACKAGES="
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libsndfile1-dev libsoxr-dev
  qt6-multimedia-dev qt6-svg-dev qt6-translations-l10n
  clang clang-format desktop-file-utils
  espeak-ng sox xvfb imagemagick fonts-dejavu-core fonts-dejavu-extra
  codec2-examples
  parallel
  python3-pybind11 pybind11-dev python3-numpy python3-pytest python3-matplotlib
  asterisk-core-sounds-en-wav asterisk-core-sounds-es-wav asterisk-core-sounds-it-wav
  asterisk-core-sounds-fr-wav
"

if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
else
  SUDO="sudo"
fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
