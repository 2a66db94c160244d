#!/bin/sh
# Builds the fuzz targets with clang into BUILD_DIR (default build/fuzz) and,
# given a target and a time, fuzzes it for that many seconds from the seed
# corpus in fuzz/corpus/<name>. New inputs go to BUILD_DIR/corpus-<target>, a
# finding to BUILD_DIR/artifacts; the seed corpus in the repository is only read.
#
#   fuzz/run-fuzz.sh build               # build both targets
#   fuzz/run-fuzz.sh fuzz_coder 30       # fuzz the coder for 30 s
#   fuzz/run-fuzz.sh fuzz_coder -runs=1000000   # or any libFuzzer options
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/fuzz}"
clang="${CLANGXX:-clang++}"

configure_and_build() {
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
      -DCMAKE_CXX_COMPILER="$clang" >/dev/null
  fi
  cmake --build "$build" -- "$@"
}

if [ "${1:-}" = "build" ]; then
  configure_and_build
  exit 0
fi

target="${1:?give a target: fuzz_coder or fuzz_fft}"
shift
case "$target" in
  fuzz_coder) seeds="$root/fuzz/corpus/coder"; max_len=705 ;;
  fuzz_fft) seeds="$root/fuzz/corpus/fft"; max_len=2100 ;;
  *) echo "run-fuzz.sh: unknown target '$target'" >&2; exit 2 ;;
esac
configure_and_build "$target"

if [ $# -gt 0 ]; then
  case "$1" in
    '' | *[!0-9]*) ;;
    *) seconds="$1"; shift; set -- "-max_total_time=$seconds" "$@" ;;
  esac
fi
work="$build/corpus-$target"
mkdir -p "$work" "$build/artifacts"
exec "$build/$target" "$work" "$seeds" -max_len="$max_len" -timeout=20 \
  -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 "$@"
