#!/bin/sh
# The coder's output must be the same bytes on every build. This builds the
# two configurations CI does not run and checks the golden digests and the
# search and kernel paths in each:
#
#   build/native  g++ with -march=native (every instruction the machine has
#                 may appear anywhere, FMA included: -ffp-contract=off keeps
#                 a*b+c in two roundings)
#   build/clang   Debian clang with the default target
#
#   scripts/test-configurations.sh [native|clang ...]
#
# The release and sanitizer builds are CI's (scripts/test.sh).
set -eu
cd "$(dirname "$0")/.."

jobs="$(nproc 2>/dev/null || echo 2)"
configurations="${*:-native clang}"
tests="GoldenOutputs|SearchPathTest|SearchPaths|VectorKernelTest|RandomTargets|EveryMode"

for configuration in $configurations; do
    dir="build/$configuration"
    echo "=== $configuration build in $dir ==="
    case "$configuration" in
        native)
            CXXFLAGS="-march=native" cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
                -DZORVEL_BUILD_BENCH=OFF >/dev/null
            ;;
        clang)
            CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
                -DZORVEL_BUILD_BENCH=OFF >/dev/null
            ;;
        *)
            echo "unknown configuration: $configuration (native or clang)" >&2
            exit 2
            ;;
    esac
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure -R "$tests"
done
echo "Golden digests and search paths agree in: $configurations"
