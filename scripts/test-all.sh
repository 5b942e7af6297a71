#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Sets the machine up and runs every test: the optimised build and the
# AddressSanitizer + UndefinedBehaviorSanitizer build, each through CTest,
# then the ThreadSanitizer build of the Printer Application and the core.
# cppcheck and clang-tidy look over our code first. Under CI (CI=true)
# warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

if [ "${CI:-}" = "true" ]; then
  presets=(ci ci-asan)
else
  presets=(default asan)
fi

jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  echo "=== ${preset}: configure"
  cmake --preset "$preset"
  if [ "$preset" = "${presets[0]}" ]; then
    echo "=== static analysis"
    scripts/static-analysis.sh "build/${preset}"
  fi
  echo "=== ${preset}: build"
  cmake --build --preset "$preset" -j"$jobs"
  echo "=== ${preset}: tests"
  ctest --preset "$preset" -j"$jobs"
done

# ThreadSanitizer over the Printer Application and the page core: the tests
# that print on several printers, or run several jobs, at once.
echo "=== tsan: configure, build, tests"
cmake --preset tsan
cmake --build --preset tsan -j"$jobs"
ctest --preset tsan -j"$jobs"
