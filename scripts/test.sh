#!/bin/sh
# Installs what Zorvel needs, checks the formatting of every C++ file, then builds and runs every test twice: in the
# release build and in the AddressSanitizer + UndefinedBehaviorSanitizer build.
set -eu
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
./scripts/check-format.sh
jobs="$(nproc 2>/dev/null || echo 2)"

for preset in release sanitize; do
  echo "=== $preset build ==="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
  # The closing line of the Python module's pytest run (CTest shows a passing
  # test's output only in its log).
  log="build/$preset/Testing/Temporary/LastTest.log"
  if [ -f "$log" ] && grep -q "python_module" "$log"; then
    echo "python_module (pytest): $(grep -E '^=+ .*(passed|failed|error).* in [0-9.]+s' "$log" | tail -n 1)"
  fi
done
echo "All tests passed (release and sanitizer builds)."
