#!/bin/sh
# Peak memory of the subcommands that code straight through, on a long input:
#
#   scripts/measure-memory.sh [MEGABYTES]
#
# Runs the release build's memory suite (tests/cli/test_cli_memory.cpp) with
# every case at MEGABYTES (default 256) instead of its own size: encode -o -,
# frames (CSV and JSON), sweep and plot, each on a 2 MB input and on one of
# MEGABYTES made by repeating the bundled sample in a temporary directory
# (removed afterwards). It prints each peak (resident memory, with any output
# staged in memory) and fails when one reaches 64 MB or grows with the input,
# or when encode -o - and frames send nothing before most of the input is
# read. At 256 MB the sweep codes 4.7 hours of speech in eight modes: several
# minutes on two cores. The conversions (import, encode --resample and
# frames --resample) run on ten minutes of 48 kHz stereo and on a header
# that makes 48 KB into 24,000 s: each below 64 MB.
set -eu
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" --target zorvel-cli test_cli_memory
ZORVEL_MEMORY_MB="${1:-256}" ZORVEL_MEMORY_SECONDS=600 ./build/release/tests/test_cli_memory \
  --gtest_filter='Subcommands/*:Resampled/*' --gtest_brief=1
