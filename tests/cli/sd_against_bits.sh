#!/bin/sh
# scripts/sd-against-bits.sh on three prompts of each training language and
# two budgets: the table holds a row of each budget and of each of the
# modes' sets, measured on every held-out frame, and the chart is an SVG.
#
# Usage: sd_against_bits.sh ZORVEL_CLI. Exits 77 (skipped) when the
# asterisk-core-sounds prompts are not installed (scripts/install-deps.sh
# installs them).
set -eu
cli=$(realpath "$1")
scripts=$(dirname "$(realpath "$0")")/../../scripts
sounds=${ZORVEL_SOUNDS:-/usr/share/asterisk/sounds}
for language in en_US_f_Allison es_MX_f_Allison it_IT_m_Carlo fr_CA_f_June; do
  [ -d "$sounds/$language" ] || { echo "$sounds/$language is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SUBSET=3 BITS=18:20:2 "$scripts/sd-against-bits.sh" "$cli" "$work/sd"
cat "$work/sd.txt"
[ "$(wc -l < "$work/sd.txt")" -eq 8 ] || { echo "not a header and 7 rows"; exit 1; }
grep -q '^budget     18        6+6+6 ' "$work/sd.txt"
grep -q '^budget     20        6+7+7 ' "$work/sd.txt"
grep -q '^mode       23        7+8+8       5.15 4.75 ' "$work/sd.txt"
# Every row measures the same held-out frames, all of them.
frames=$(awk 'NR > 1 { print $(NF - 4) }' "$work/sd.txt" | sort -u)
[ "$(echo "$frames" | wc -l)" -eq 1 ] && [ "$frames" -gt 70000 ] ||
  { echo "frames: $frames"; exit 1; }
grep -q '<svg' "$work/sd.svg"
grep -q 'fr_CA_f_June.txt' "$work/sd.svg"
[ ! -e "$work/sd.txt.part" ]
