#!/bin/sh
# Trains the default quantiser tables (coder/tables/default-quantisers.zvqt)
# from the voice prompts of Debian's asterisk-core-sounds-en-wav, -es-wav and
# -it-wav (8 kHz mono 16-bit WAV, CC-BY-SA-3.0; scripts/install-deps.sh
# installs them), every prompt but those of the silence/ folders (recorded
# silence, no speech), in the byte order of their paths: the same packages
# give the same tables bit for bit. The French prompts of
# asterisk-core-sounds-fr-wav are never trained on; they are the held-out
# speech whose spectral distortion the run prints.
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

list=$(mktemp)
held=$(mktemp)
trap 'rm -f "$list" "$held"' EXIT

prompts() {
  find "$sounds/$1" -name '*.wav' -not -path '*/silence/*' | LC_ALL=C sort
}

for language in en_US_f_Allison es_MX_f_Allison it_IT_m_Carlo; do
  if [ ! -d "$sounds/$language" ]; then
    echo "train-tables.sh: $sounds/$language is missing: install the asterisk-core-sounds" \
      "packages (scripts/install-deps.sh)" >&2
    exit 1
  fi
  if [ -n "$subset" ]; then
    prompts "$language" | head -n "$subset" >> "$list"
  else
    prompts "$language" >> "$list"
  fi
done

if [ -z "$subset" ] && [ -d "$sounds/fr_CA_f_June" ]; then
  prompts fr_CA_f_June > "$held"
  exec "$cli" train --files-from "$list" --held-out "$held" -o "$output" -y -j "$jobs"
fi
exec "$cli" train --files-from "$list" -o "$output" -y -j "$jobs"
