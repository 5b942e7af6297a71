#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian 12 packages a task needs, only those that are
# missing. Needs root (or sudo) when something has to be installed.
#
#   scripts/install-deps.sh driver [PACKAGE...]  # building the filter, PPDs and tools (the demo)
#   scripts/install-deps.sh test [PACKAGE...]    # that, and all the tests and checks use
set -euo pipefail

# The compiler, CMake, libcups and libcupsimage (with cups-config), libpng
# for escpos-preview and ppdc for the PPD files.
driver=(build-essential cmake libcups2-dev libcupsimage2-dev libpng-dev cups-ppdc)
# The test suites, the real CUPS chain (scheduler, clients, cups-filters,
# Ghostscript), netpbm for test pictures, static analysis, and what the
# Printer Application beside the filter builds and is tested with.
tests=(
  libgtest-dev libbenchmark-dev valgrind
  cups cups-client cups-filters ghostscript netpbm
  clang-tidy cppcheck
  pkg-config libpappl-dev libjpeg-dev cups-ipp-utils curl libpam-wrapper iproute2
)

case ${1:-} in
  driver) packages=("${driver[@]}") ;;
  test) packages=("${driver[@]}" "${tests[@]}") ;;
  *)
    echo "usage: $0 driver|test [PACKAGE...]" >&2
    exit 2
    ;;
esac
shift
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ "${#missing[@]}" -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
