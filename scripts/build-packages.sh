#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian packages of this machine's architecture and checks them
# with lintian:
#
#   scripts/build-packages.sh [--nocheck]
#
# Installs the build dependencies that debian/control names (apt-get
# build-dep; root or sudo), copies the tree as git sees it (committed or
# not, ignored files left out) to build/deb/, runs dpkg-buildpackage -us
# -uc -b there, and puts the packages in out/packages/. --nocheck leaves the
# package's own tests out (the test command runs them all anyway). Exits
# non-zero when lintian --pedantic reports an error or a warning other than
# initial-upload-closes-no-bugs (a first release closes no bug).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

nocheck=0
case ${1:-} in
  --nocheck) nocheck=1 ;;
  "") ;;
  *)
    echo "usage: $0 [--nocheck]" >&2
    exit 2
    ;;
esac

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
profiles=() build_profiles=()
if ((nocheck)); then
  profiles=(-P nocheck)
  build_profiles=(--build-profiles=nocheck)
fi

# dpkg-buildpackage and lintian, then what debian/control asks for.
scripts/install-deps.sh package
if ! dpkg-checkbuilddeps "${profiles[@]}" debian/control 2>/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get build-dep -y -q --no-install-recommends "${profiles[@]}" ./
fi

# A clean copy: dpkg-buildpackage writes its results next to the tree.
version=$(dpkg-parsechangelog -S Version)
stage=$root/build/deb
src=$stage/zelp-escpos-$version
rm -rf "$stage"
mkdir -p "$src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
    [ -e "$f" ] && printf '%s\0' "$f"
  done | tar --null -T - -cf - | tar -xf - -C "$src"
else
  tar --exclude=./build --exclude=./out -cf - . | tar -xf - -C "$src"
fi

started=$(date +%s)
options="${DEB_BUILD_OPTIONS:-} parallel=$(nproc 2>/dev/null || echo 2)"
((nocheck)) && options="$options nocheck"
options=$(echo $options)
(cd "$src" && DEB_BUILD_OPTIONS=$options dpkg-buildpackage -us -uc -b "${build_profiles[@]}") >"$stage/build.log" 2>&1 || {
  tail -n 40 "$stage/build.log" >&2
  echo "dpkg-buildpackage failed; the whole log is $stage/build.log" >&2
  exit 1
}
echo "dpkg-buildpackage: $(($(date +%s) - started)) s"

out=$root/out/packages
rm -rf "$out"
mkdir -p "$out"
cp "$stage"/*.deb "$stage"/*.ddeb "$stage"/*.changes "$stage"/*.buildinfo "$out"/ 2>/dev/null || true
ls -l "$out"

changes=$(ls "$out"/*.changes)
lintian --pedantic --info --display-experimental --color never "$changes" >"$out/lintian.txt" 2>&1 || true
echo "--- lintian --pedantic:"
cat "$out/lintian.txt"
if grep -E '^[EW]: ' "$out/lintian.txt" | grep -v ' initial-upload-closes-no-bugs' >/dev/null; then
  echo "lintian found errors or warnings" >&2
  exit 1
fi
echo "packages: $out"
