#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Sets the machine up and runs every test: the optimised build and the
# AddressSanitizer + UndefinedBehaviorSanitizer build, each through CTest,
# then the ThreadSanitizer build of the Printer Application and the core.
# cppcheck and clang-tidy look over our code first. Then the cross builds
# for arm64 and armhf, whose unit, filter and robust tests run under
# qemu-user and whose filter must write the native one's bytes, and the
# Debian packages: built, checked by lintian, installed in a scratch root,
# printed through and purged. Under CI (CI=true) warnings are errors.
# Each step's time is printed at its end, and all of them at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

times=()
step_started=0
step_name=""
step() {
  local now
  now=$(date +%s)
  [ -z "$step_name" ] || times+=("$(printf '%5d s  %s' $((now - step_started)) "$step_name")")
  [ -z "$step_name" ] || echo "=== ${step_name}: $((now - step_started)) s"
  step_name=$1
  step_started=$now
  [ -z "$step_name" ] || echo "=== $step_name"
}

step "packages for the tests"
scripts/install-deps.sh test

if [ "${CI:-}" = "true" ]; then
  presets=(ci ci-asan)
else
  presets=(default asan)
fi

jobs=$(nproc 2>/dev/null || echo 2)
# A compiler cache: the presets build the same sources, and so does every
# run after the first (any clone: paths are taken from the clone's root).
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_BASEDIR=$(pwd)
  export CCACHE_BASEDIR CCACHE_NOHASHDIR=1
fi
for preset in "${presets[@]}"; do
  step "${preset}: configure"
  cmake --preset "$preset"
  if [ "$preset" = "${presets[0]}" ]; then
    step "static analysis"
    scripts/static-analysis.sh "build/${preset}"
  fi
  step "${preset}: build"
  cmake --build --preset "$preset" -j"$jobs"
  step "${preset}: tests"
  ctest --preset "$preset" -j"$jobs"
done

# ThreadSanitizer over the Printer Application and the page core: the tests
# that print on several printers, or run several jobs, at once.
step "tsan: configure"
cmake --preset tsan
step "tsan: build"
cmake --build --preset tsan -j"$jobs"
step "tsan: tests"
ctest --preset tsan -j"$jobs"

native=build/${presets[0]}

# ARM: Debian's cross compilers, the programs run under qemu-user.
step "cross: packages for arm64 and armhf"
scripts/install-deps.sh cross
# armhf, whose size_t has 32 bits, runs the tests; arm64, 64-bit as the
# native build, the byte comparison (ZELP_ARM_TESTS=all runs both).
for arch in arm64 armhf; do
  step "cross-${arch}: configure and build"
  cmake --preset "cross-${arch}"
  if [ "$arch" = armhf ] || [ "${ZELP_ARM_TESTS:-}" = all ]; then
    cmake --build --preset "cross-${arch}" -j"$jobs"
    step "cross-${arch}: unit, filter and robust tests under qemu-user"
    ctest --preset "cross-${arch}" -j"$jobs"
  else
    cmake --build --preset "cross-${arch}" -j"$jobs" --target raster_to_ZELP
  fi
  step "cross-${arch}: the filter's bytes against the native one's"
  tests/cross/same_bytes.sh "$native" "build/cross-${arch}"
done

# The Debian packages of this machine.
step "packages: build and lintian"
scripts/build-packages.sh --nocheck
step "packages: install, print and purge in a scratch root"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" tests/package/scratch_root.sh out/packages "$native"
step ""

echo "=== times"
printf '%s\n' "${times[@]}"
