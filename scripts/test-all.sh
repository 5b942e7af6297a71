#!/usr/bin/env bash
# Sets the machine up and runs every test: the optimised build and the
# AddressSanitizer + UndefinedBehaviorSanitizer build, each through CTest.
# Under CI (CI=true) warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

if [ "${CI:-}" = "true" ]; then
  presets=(ci ci-asan)
else
  presets=(default asan)
fi

jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure and build"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j"$jobs"
  echo "=== ${preset}: tests"
  ctest --preset "$preset" -j"$jobs"
done
