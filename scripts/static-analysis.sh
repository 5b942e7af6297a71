#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# cppcheck and clang-tidy over our own sources; any report fails the run.
#   scripts/static-analysis.sh [build-dir with compile_commands.json]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
[ -f "$build/compile_commands.json" ] || { echo "no $build/compile_commands.json: configure first" >&2; exit 2; }

sources=$(git ls-files 'image/*.cpp' 'core/*.cpp' 'filter/*.cpp' 'printer-app/*.cpp' 'tools/*.cpp' 'fuzz/*.cpp' \
  'bench/*.cpp' 'ppd/*.cpp')

echo "=== cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ \
  --enable=warning,performance,portability --inline-suppr \
  --suppressions-list=.cppcheck-suppressions \
  -I image -I core -I filter -I printer-app -I tools/rastergen -I tools/escpos -I tools/picture -I tools/vprinter $sources

echo "=== clang-tidy"
jobs=$(nproc 2>/dev/null || echo 2)
log="$build/clang-tidy.log"
status=0
printf '%s\n' $sources | xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || grep -q -E 'warning:|error:' "$log"; then
  grep -v -E '^[0-9]+ warnings? generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' "$log" >&2 || true
  echo "clang-tidy reported problems (exit status $status)" >&2
  exit 1
fi
echo "static analysis clean"
