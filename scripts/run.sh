#!/bin/sh
# Installs what Zorvel needs, builds it (release) and starts the desktop
# program. On a machine without a display it says so and encodes the bundled
# sample with the command-line tool instead.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target zorvel zorvel-cli

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec ./build/release/app/zorvel "$@"
fi

echo "No display found (DISPLAY is not set): encoding the bundled sample instead."
out="${TMPDIR:-/tmp}/zorvel-sample"
mkdir -p "$out"
./build/release/cli/zorvel-cli encode samples/mowa.wav -m 12.2 -d "$out" -y
echo "Output written to $out"
