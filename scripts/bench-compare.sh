#!/bin/sh
# Coding speed of this tree against an older commit, side by side in one run.
#
#   scripts/bench-compare.sh [BASE] [ROUNDS]
#
# Builds bench_coder of commit BASE (default 86257ea, the coder before the
# speed work) from `git archive` into build/baseline-src and of the working
# tree into build/bench-current, both Release without the GUI and the tests.
# Then it runs the two alternately, mode by mode, ROUNDS times (default 3),
# and prints per mode the median times real time (seconds of speech coded per
# second of CPU time, one core) of each and their ratio. Alternating keeps a
# drift in the machine's speed out of the ratios.
set -eu
cd "$(dirname "$0")/.."

base="${1:-86257ea}"
rounds="${2:-3}"
jobs="$(nproc 2>/dev/null || echo 2)"
options="-G Ninja -DCMAKE_BUILD_TYPE=Release -DZORVEL_BUILD_GUI=OFF -DZORVEL_BUILD_TESTS=OFF"

echo "=== building $base into build/baseline ==="
rm -rf build/baseline-src
mkdir -p build/baseline-src
git archive "$base" | tar -x -C build/baseline-src
# shellcheck disable=SC2086
cmake -S build/baseline-src -B build/baseline $options >/dev/null
cmake --build build/baseline -j "$jobs" --target bench_coder

echo "=== building the working tree into build/bench-current ==="
# shellcheck disable=SC2086
cmake -S . -B build/bench-current $options >/dev/null
cmake --build build/bench-current -j "$jobs" --target bench_coder

# The realtime counter of one benchmark, one run.
realtime() {
    "$1" --benchmark_filter="^BM_CodeSample/$2\$" --benchmark_min_time=1 \
        --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"BM_CodeSample/ { print $NF }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

names="12.2 10.2 7.95 7.40 6.70 5.90 5.15 4.75"
printf '\n%-8s %-12s %14s %14s %8s\n' mode adaptive "before (x rt)" "after (x rt)" ratio
for args in 1/noAdaptive:0 2/noAdaptive:0 3/noAdaptive:0 4/noAdaptive:0 5/noAdaptive:0 \
    6/noAdaptive:0 7/noAdaptive:0 8/noAdaptive:0 3/noAdaptive:1; do
    filter="mode:$args"
    old=""
    new=""
    round=0
    while [ "$round" -lt "$rounds" ]; do
        old="$old $(realtime build/baseline/bench/bench_coder "$filter")"
        new="$new $(realtime build/bench-current/bench/bench_coder "$filter")"
        round=$((round + 1))
    done
    oldMedian="$(echo "$old" | tr ' ' '\n' | grep . | median)"
    newMedian="$(echo "$new" | tr ' ' '\n' | grep . | median)"
    mode="${args%%/*}"
    name="$(echo "$names" | cut -d' ' -f"$mode")"
    adaptive="on"
    [ "${args##*:}" = 1 ] && adaptive="off"
    printf '%-8s %-12s %14.1f %14.1f %7.2fx\n' "$name" "$adaptive" "$oldMedian" "$newMedian" \
        "$(echo "$newMedian $oldMedian" | awk '{ print $1 / $2 }')"
done
