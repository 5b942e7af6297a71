#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, only those
# that are missing. Needs root (or sudo) when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libcups2-dev libcupsimage2-dev libpng-dev
  cups-ppdc cups-client
  libgtest-dev libbenchmark-dev valgrind
  cups cups-filters ghostscript netpbm
)
if [ "$#" -gt 0 ]; then packages+=("$@"); fi

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
