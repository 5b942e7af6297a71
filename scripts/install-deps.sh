#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian 12 packages a task needs, only those that are
# missing. Needs root (or sudo) when something has to be installed.
#
#   scripts/install-deps.sh driver [PACKAGE...]  # building the filter, PPDs and tools (the demo)
#   scripts/install-deps.sh test [PACKAGE...]    # that, and all the tests and checks use
#   scripts/install-deps.sh package [PACKAGE...] # building Debian packages and checking them
#   scripts/install-deps.sh cross                # cross builds for arm64 and armhf, run under qemu
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
  clang-tidy cppcheck ccache
  pkg-config libpappl-dev libjpeg-dev cups-ipp-utils curl libpam-wrapper iproute2
)
# dpkg-buildpackage with debhelper, and lintian; debian/control names the
# rest (scripts/build-packages.sh installs it with apt-get build-dep).
package=(build-essential dpkg-dev debhelper lintian)

# Cross builds: Debian's cross compilers and qemu-user for the programs
# they make, and the target's own libraries (and gtest) from its
# architecture's packages. Multi-Arch: same libraries must have one version
# on every architecture, so apt would upgrade the host's copy to the
# archive's along with the target's: wherever the host's version is still
# in the archive, the target's is asked for at that version instead, and a
# change that would remove a host package stops the script.
cross_arches=(arm64 armhf)
cross_host=(crossbuild-essential-arm64 crossbuild-essential-armhf qemu-user-static)
cross_libs=(libcups2-dev libcupsimage2-dev libpng-dev libgtest-dev libstdc++6)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

install_cross() {
  export DEBIAN_FRONTEND=noninteractive
  local arch p old added=0 round plan upgrades pinned
  local want=() args=()
  local -A pins=()
  for arch in "${cross_arches[@]}"; do
    if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
      as_root dpkg --add-architecture "$arch"
      added=1
    fi
  done
  for p in "${cross_host[@]}"; do installed "$p" || want+=("$p"); done
  for arch in "${cross_arches[@]}"; do
    for p in "${cross_libs[@]}"; do installed "$p:$arch" || want+=("$p:$arch"); done
  done
  [ "${#want[@]}" -eq 0 ] && return 0
  if ((added)) || ! apt-cache show "libcups2-dev:${cross_arches[0]}" >/dev/null 2>&1; then
    as_root apt-get update -q
  fi
  # Rounds until nothing more is pinned: each pins the target's copy of a
  # host package that apt would upgrade to the host's version, where the
  # archive still has it.
  for round in 1 2 3 4 5; do
    args=()
    for p in "${want[@]}"; do [ -n "${pins[$p]:-}" ] || args+=("$p"); done
    for p in "${!pins[@]}"; do args+=("$p=${pins[$p]}"); done
    plan=$(apt-get install -s -q --no-install-recommends "${args[@]}")
    if grep -q '^Remv ' <<<"$plan"; then
      echo "install-deps: the cross libraries would remove host packages:" >&2
      grep '^Remv ' <<<"$plan" >&2
      exit 1
    fi
    # Host packages to be upgraded: "Inst NAME [OLD] (NEW ...)", NAME
    # without an architecture.
    upgrades=$(sed -n 's/^Inst \([^ :]*\) \[\([^]]*\)\] .*/\1 \2/p' <<<"$plan")
    pinned=0
    while read -r p old; do
      [ -n "$p" ] || continue
      apt-cache madison "$p" | awk -F' [|] ' -v v="$old" '$2 == v { f = 1 } END { exit !f }' || continue
      for arch in "${cross_arches[@]}"; do
        grep -q "^Inst $p:$arch " <<<"$plan" || continue
        [ "${pins[$p:$arch]:-}" = "$old" ] && continue
        pins[$p:$arch]=$old
        pinned=1
      done
    done <<<"$upgrades"
    ((pinned)) || break
  done
  if [ -n "$upgrades" ]; then
    echo "install-deps: host packages upgraded to the archive's version with the cross libraries:"
    sed 's/^/  /' <<<"$upgrades"
  fi
  echo "Installing: ${args[*]}"
  as_root apt-get install -y -q --no-install-recommends "${args[@]}"
}

case ${1:-} in
  driver) packages=("${driver[@]}") ;;
  test) packages=("${driver[@]}" "${tests[@]}") ;;
  package) packages=("${package[@]}") ;;
  cross)
    install_cross
    exit 0
    ;;
  *)
    echo "usage: $0 driver|test|package|cross [PACKAGE...]" >&2
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
