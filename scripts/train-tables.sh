#!/bin/sh
# Trains the default quantiser tables (coder/tables/default-quantisers.zvqt)
# on the training prompts of scripts/training-lists.sh (the voice prompts of
# Debian's asterisk-core-sounds-en-wav, -es-wav and -it-wav), in the byte
# order of their paths: the same packages give the same tables bit for bit.
# The French prompts of asterisk-core-sounds-fr-wav are never trained on;
# they are the held-out speech whose spectral distortion the run prints.
#
# Usage: train-tables.sh [ZORVEL_CLI [OUTPUT]]
#   ZORVEL_CLI  default build/release/cli/zorvel-cli
#   OUTPUT      default coder/tables/default-quantisers.zvqt
# With SUBSET=N only the first N prompts of each language are taken (the
# determinism test's small run); the held-out table is then left out.
# ZORVEL_TRAIN_JOBS=N analyses the files on N threads (default 2); the
# tables do not depend on it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-"$root/build/release/cli/zorvel-cli"}
output=${2:-"$root/coder/tables/default-quantisers.zvqt"}
sounds=${ZORVEL_SOUNDS:-/usr/share/asterisk/sounds}
subset=${SUBSET:-}
jobs=${ZORVEL_TRAIN_JOBS:-2}
script=train-tables.sh
. "$root/scripts/training-lists.sh"

list=$(mktemp)
held=$(mktemp)
trap 'rm -f "$list" "$held"' EXIT

write_training_list "$list"
if [ -z "$subset" ] && write_held_out_list "$held"; then
  exec "$cli" train --files-from "$list" --held-out "$held" -o "$output" -y -j "$jobs"
fi
exec "$cli" train --files-from "$list" -o "$output" -y -j "$jobs"
