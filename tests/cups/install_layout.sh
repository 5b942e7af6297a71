#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# cmake --install --strip into a scratch DESTDIR, with a prefix that exists
# nowhere, as README.md says: the filter must land in CUPS's filter folder
# with mode 0755 and without debug information, the PPDs in the configured
# PPD folder, nothing may be written outside DESTDIR, and README.md must name
# every file installed.
#   install_layout.sh CMAKE BUILD_DIR CUPS_SERVERBIN PPD_INSTALL_DIR PPD_DIR README
# CUPS_SERVERBIN and PPD_INSTALL_DIR as configured: absolute, or relative to
# the install prefix.
set -euo pipefail

[ "$#" -eq 6 ] || { echo "usage: $0 CMAKE BUILD_DIR CUPS_SERVERBIN PPD_INSTALL_DIR PPD_DIR README" >&2; exit 2; }
cmake=$1 build=$2 serverbin=$3 ppd_install=$4 ppd_dir=$5 readme=$6

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zelp-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
dest=$scratch/dest
prefix=/opt/zelp-install-test-prefix
started=$scratch/started
touch "$started"
sleep 1 # file times have a resolution of a second on some file systems

DESTDIR=$dest "$cmake" --install "$build" --prefix "$prefix" --strip >"$scratch/install.log" 2>&1 ||
  fail "cmake --install failed: $(tail -n 20 "$scratch/install.log")"

# Where a configured folder ends up: absolute as it is, relative under the
# prefix; DESTDIR in front of both.
staged() {
  case $1 in
    /*) printf '%s%s\n' "$dest" "$1" ;;
    *) printf '%s%s/%s\n' "$dest" "$prefix" "$1" ;;
  esac
}

# Both filters: raster_to_ZELP, and image_to_ZELP, which the PPDs name for
# pictures (a queue whose PPD names a filter that is missing takes no job).
for program in raster_to_ZELP image_to_ZELP; do
  filter=$(staged "$serverbin")/filter/$program
  if [ ! -f "$filter" ]; then
    fail "no filter at $filter; installed: $(find "$dest" -name "$program")"
  fi
  mode=$(stat -c %a "$filter")
  [ "$mode" = 755 ] || fail "$program has mode $mode, CUPS needs 755 (not writable by group or others)"
  # It is the filter, and it runs: without arguments it gives its usage line.
  usage=$("$filter" 2>&1 >/dev/null) && fail "the installed $program accepted no arguments"
  [ "$usage" = "ERROR: $program job-id user title copies options [file]" ] ||
    fail "the installed $program says: $usage"
  # The build has debug information (RelWithDebInfo); --strip leaves none.
  debug=$(readelf -S --wide "$filter" | grep -oE '\.(debug|zdebug)[a-z_]*' | sort -u | tr '\n' ' ') ||
    true
  [ -z "$debug" ] || fail "the installed $program still has debug sections: $debug"
  echo "ok: ${filter#"$dest"} (mode $mode)"
done

models=$(staged "$ppd_install")
shopt -s nullglob
built=("$ppd_dir"/*.ppd)
[ "${#built[@]}" -eq "$(grep -c . "$ppd_dir/models.tsv")" ] ||
  fail "expected the PPD files of every model of models.tsv in $ppd_dir, found ${#built[@]}"
for ppd in "${built[@]}"; do
  name=$(basename "$ppd")
  found=$(find "$models" -name "$name" 2>/dev/null || true)
  [ -n "$found" ] || fail "$name is not under $models; installed at: $(find "$dest" -name "$name")"
  [ "$(wc -l <<<"$found")" -eq 1 ] || fail "$name is installed more than once: $found"
  cmp -s "$ppd" "$found" || fail "$found differs from the built $ppd"
  [ "$(stat -c %a "$found")" = 644 ] || fail "$found has mode $(stat -c %a "$found"), expected 644"
  echo "ok: ${found#"$dest"}"
done

# DESTDIR is honoured: every file that the install lists is under it, and
# none was written at its real place.
manifest=$build/install_manifest.txt
[ -s "$manifest" ] || fail "cmake --install wrote no $manifest"
while IFS= read -r path || [ -n "$path" ]; do
  [ -e "$dest$path" ] || fail "the install lists $path, which is not under DESTDIR"
  if [ -e "$path" ] && [ "$path" -nt "$started" ]; then
    fail "$path was written outside DESTDIR"
  fi
done <"$manifest"
staged_files=$(cd "$dest" && find . -type f | sed 's|^\.||' | sort)
[ "$staged_files" = "$(sort "$manifest")" ] ||
  fail "the files under DESTDIR differ from the install's list: $(diff <(echo "$staged_files") <(sort "$manifest"))"
echo "ok: all $(grep -c "" "$manifest") installed files are under DESTDIR only"

# README.md's install table names each of them in a row's first cell.
tick='`'
while IFS= read -r path || [ -n "$path" ]; do
  name=$(basename "$path")
  grep -qE "^\| [^|]*$tick${name//./\\.}$tick" "$readme" ||
    fail "README.md's install table does not list the installed file $path"
done <"$manifest"
echo "ok: README.md lists every installed file"
