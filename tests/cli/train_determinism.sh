#!/bin/sh
# The default tables' training repeats itself bit for bit: the script trains
# on the first three prompts of each training language twice, once with the
# files analysed on two threads and once on one, and the two tables files
# must be the same bytes.
#
# Usage: train_determinism.sh ZORVEL_CLI. Exits 77 (skipped) when the
# asterisk-core-sounds prompts are not installed (scripts/install-deps.sh
# installs them).
set -eu
cli=$(realpath "$1")
scripts=$(dirname "$(realpath "$0")")/../../scripts
sounds=${ZORVEL_SOUNDS:-/usr/share/asterisk/sounds}
for language in en_US_f_Allison es_MX_f_Allison it_IT_m_Carlo; do
  [ -d "$sounds/$language" ] || { echo "$sounds/$language is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SUBSET=3 "$scripts/train-tables.sh" "$cli" "$work/first.zvqt"
SUBSET=3 ZORVEL_TRAIN_JOBS=1 "$scripts/train-tables.sh" "$cli" "$work/second.zvqt"
cmp "$work/first.zvqt" "$work/second.zvqt"

# Tables, not an empty run's file (the suite test_quantiser_tables reads
# and checks the committed ones through the library).
head -c 4 "$work/first.zvqt" | grep -q ZVQT
size=$(wc -c < "$work/first.zvqt")
[ "$size" -gt 100000 ] || { echo "tables of only $size bytes"; exit 1; }
echo "the same $size bytes twice"
