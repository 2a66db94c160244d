#!/bin/sh
# The coder's output must be the same bytes on every build. This builds the
# two configurations CI does not run (the command-line tool and the coder's
# test programs, without the desktop program) and checks the golden digests,
# the search and kernel paths and the filters in each:
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
targets="zorvel-cli test_golden_outputs test_search_paths test_vector_kernels test_algebraic_codebook
    test_coder_end_to_end test_filters"
tests="GoldenOutputs|SearchPathTest|SearchPaths|VectorKernelTest|InstructionSets|RandomTargets|EveryMode|Filter"
options="-G Ninja -DCMAKE_BUILD_TYPE=Release -DZORVEL_BUILD_GUI=OFF -DZORVEL_BUILD_BENCH=OFF
    -DZORVEL_TEST_EACH_CASE=ON"

for configuration in $configurations; do
    dir="build/$configuration"
    echo "=== $configuration build in $dir ==="
    case "$configuration" in
        native)
            # shellcheck disable=SC2086
            CXXFLAGS="-march=native" cmake -S . -B "$dir" $options >/dev/null
            ;;
        clang)
            # shellcheck disable=SC2086
            CC=clang CXX=clang++ cmake -S . -B "$dir" $options >/dev/null
            ;;
        *)
            echo "unknown configuration: $configuration (native or clang)" >&2
            exit 2
            ;;
    esac
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$jobs" --target $targets
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure -R "$tests"
done
echo "Golden digests and search paths agree in: $configurations"
