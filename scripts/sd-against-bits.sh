#!/bin/sh
# What the bits of an LSF quantiser buy: trains one-set LSF quantisers of
# every budget of BITS (and the designs of the modes) on the training prompts
# of train-tables.sh and measures their spectral distortion on its held-out
# French prompts (scripts/training-lists.sh), with zorvel-cli quantisers.
# Writes the table and the chart.
#
# Usage: sd-against-bits.sh [ZORVEL_CLI [PREFIX]]
#   ZORVEL_CLI  default build/release/cli/zorvel-cli
#   PREFIX      default sd-against-bits: writes the table PREFIX.txt and
#               the chart PREFIX.svg (replacing them)
# BITS=FROM:TO:STEP (default 18:40:2) chooses the budgets; SUBSET=N takes
# only the first N prompts of each training language (a quick look);
# ZORVEL_TRAIN_JOBS=N runs on N threads (default 2).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-"$root/build/release/cli/zorvel-cli"}
prefix=${2:-sd-against-bits}
sounds=${ZORVEL_SOUNDS:-/usr/share/asterisk/sounds}
subset=${SUBSET:-}
jobs=${ZORVEL_TRAIN_JOBS:-2}
bits=${BITS:-18:40:2}
script=sd-against-bits.sh
. "$root/scripts/training-lists.sh"

# Named for the chart's caption, which names the held-out list.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
list=$work/training.txt
held=$work/fr_CA_f_June.txt

write_training_list "$list"
if ! write_held_out_list "$held"; then
  echo "$script: $sounds/fr_CA_f_June is missing: install asterisk-core-sounds-fr-wav" \
    "(scripts/install-deps.sh)" >&2
  exit 1
fi
# The table is kept only once the run has succeeded.
"$cli" quantisers --files-from "$list" --held-out "$held" --bits "$bits" -j "$jobs" \
  --plot "$prefix.svg" -y > "$prefix.txt.part"
mv "$prefix.txt.part" "$prefix.txt"
