#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The cross-built raster_to_ZELP, run under qemu-user, against the native
# one: for every job of the table below both must write the same printer
# bytes, the same messages and exit the same way.
#
#   tests/cross/same_bytes.sh NATIVE_BUILD CROSS_BUILD
#
# NATIVE_BUILD is a native build folder (its filter, zelp-rasterwrite and
# PPD files are used), CROSS_BUILD one made with cmake/DebianCross.cmake
# (its filter runs under the emulator its cache names). Jobs: every depth,
# the turns, both algorithms, the framing options, copies, several pages,
# cut streams, and pages whose declared size no page buffer may take.
set -euo pipefail

[ "$#" -eq 2 ] || { echo "usage: $0 NATIVE_BUILD CROSS_BUILD" >&2; exit 2; }
native=$1 cross=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

native_filter=$native/filter/raster_to_ZELP
cross_filter=$cross/filter/raster_to_ZELP
rasterwrite=$native/tools/zelp-rasterwrite
emulator=$(sed -n 's/^ZELP_QEMU:FILEPATH=//p' "$cross/CMakeCache.txt")
arch=$(sed -n 's/^ZELP_CROSS_ARCH:STRING=//p' "$cross/CMakeCache.txt")
for f in "$native_filter" "$cross_filter" "$rasterwrite" "$native/ppd/zelp80.ppd" "$native/ppd/zelp58.ppd"; do
  [ -e "$f" ] || fail "$f is missing (build both folders first)"
done
[ -x "$emulator" ] || fail "no emulator in $cross/CMakeCache.txt (ZELP_QEMU)"

work=$(mktemp -d "${TMPDIR:-/tmp}/zelp-cross-bytes.XXXXXX")
trap 'rm -rf "$work"' EXIT

count=0
# One job through both filters: run_job NAME MODEL OPTIONS RASTER
run_job() {
  local name=$1 model=$2 options=$3 raster=$4 side rc
  for side in native cross; do
    rc=0
    if [ "$side" = native ]; then
      PPD=$native/ppd/zelp$model.ppd "$native_filter" 1 user "$name" 1 "$options" "$raster" \
        >"$work/$side.out" 2>"$work/$side.err" || rc=$?
    else
      PPD=$native/ppd/zelp$model.ppd "$emulator" "$cross_filter" 1 user "$name" 1 "$options" "$raster" \
        >"$work/$side.out" 2>"$work/$side.err" || rc=$?
    fi
    echo "$rc" >"$work/$side.rc"
  done
  cmp -s "$work/native.out" "$work/cross.out" ||
    fail "$name: the printer bytes differ ($(stat -c %s "$work/native.out") native, $(stat -c %s "$work/cross.out") $arch)"
  cmp -s "$work/native.err" "$work/cross.err" ||
    fail "$name: the messages differ: $(diff "$work/native.err" "$work/cross.err" | head -n 6)"
  cmp -s "$work/native.rc" "$work/cross.rc" ||
    fail "$name: exit status $(cat "$work/native.rc") native, $(cat "$work/cross.rc") $arch"
  count=$((count + 1))
  printf 'same: %-48s %7s bytes, exit %s %s\n' "$name" "$(stat -c %s "$work/native.out")" "$(cat "$work/native.rc")" \
    "$(grep -m 1 '^ERROR: ' "$work/native.err" || true)"
}

# A job on a page from zelp-rasterwrite: job NAME MODEL OPTIONS RASTERWRITE-ARGS...
job() {
  local name=$1 model=$2 options=$3
  shift 3
  "$rasterwrite" "$@" -o "$work/job.ras" >/dev/null || fail "$name: zelp-rasterwrite $* failed"
  run_job "$name" "$model" "$options" "$work/job.ras"
}

# Writes a 32-bit little-endian value at a byte offset of a file.
put_u32() {
  local file=$1 offset=$2 v=$3
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}

# A page that declares a size of its own, followed by BYTES bytes of FILL
# (a hex byte) and nothing else: huge NAME OPTIONS BPP WIDTH HEIGHT
# BYTES-PER-LINE BYTES FILL. Header fields after the 4-byte sync word:
# cupsWidth at 372, cupsHeight at 376, cupsBytesPerLine at 392.
huge() {
  local name=$1 options=$2 bpp=$3 width=$4 height=$5 bpl=$6 bytes=$7 fill=$8
  "$rasterwrite" --pattern checker --bpp "$bpp" --width 8 --height 1 -o "$work/small.ras" >/dev/null ||
    fail "$name: zelp-rasterwrite failed"
  head -c 1800 "$work/small.ras" >"$work/job.ras"
  put_u32 "$work/job.ras" $((4 + 372)) "$width"
  put_u32 "$work/job.ras" $((4 + 376)) "$height"
  put_u32 "$work/job.ras" $((4 + 392)) "$bpl"
  head -c "$bytes" /dev/zero | tr '\0' "\\$(printf '%03o' "0x$fill")" >>"$work/job.ras"
  run_job "$name" 80 "$options" "$work/job.ras"
}

# Every depth, on noise (error diffusion sees every grey level).
for bpp in 1 4 8 16 24 32; do
  job "depth $bpp, noise" 80 "" --pattern noise --bpp "$bpp" --width 576 --height 200
done
# Turns, on a page that is not square, in two depths.
for turn in 1 2 3; do
  job "turn $turn, 8 bits" 80 "PrintRotate=$turn" --pattern page --bpp 8 --width 400 --height 240
  job "turn $turn, 1 bit" 80 "PrintRotate=$turn" --pattern checker --bpp 1 --width 240 --height 120
done
# Both algorithms on shades and on colour.
for algorithm in 0 1; do
  job "algorithm $algorithm, gradient" 80 "ImageAlgorithm=$algorithm" --pattern gradient --bpp 8
  job "algorithm $algorithm, 24-bit bars" 80 "ImageAlgorithm=$algorithm" --pattern bars --bpp 24
done
# Framing: cuts, feeds, logos, beeper, drawer, black marks, blank rows.
job "receipt, defaults" 80 "" --pattern receipt --bpp 8
job "receipt, 58 mm" 58 "" --pattern receipt --bpp 8 --width 384
job "cut at job end, feeds, logos" 80 "Cutting=1 FeedDist_B=7 FeedDist=19 Logo=2 Logo_A=8" --pattern receipt --bpp 1
job "partial cuts, beeper, drawer" 80 "Cutting=12 Beeper=9 CashDrawer=6" --pattern bars --bpp 8 --pages 2
job "black marks" 80 "BMSetting=1 BMHeight=30 BMOffset=220 BMDistance=60" --pattern checker --bpp 8
job "blank rows kept" 80 "BlankSpace=0 LeadingBlank=0 Cutting=14" --pattern receipt --bpp 4
job "copies, three pages" 80 "Cutting=8" --pattern page --bpp 8 --copies 2 --pages 3
job "stream cut inside a page" 80 "" --pattern noise --bpp 8 --pages 2 --truncate-last 5000
job "short lines (999 of 1728 bytes)" 80 "" --pattern gradient --bpp 24 --bytes-per-line 999
job "zero-height page after two" 80 "" --pattern checker --bpp 8 --pages 2 --zero-height-page
job "page wider than the head" 80 "" --pattern gradient --bpp 8 --width 1200 --height 50
# Declared sizes no page buffer may take (2^31 bytes): refused, the job goes on.
huge "huge: 24 bits, 65535 x 1000000, 4 KB sent" "" 24 65535 1000000 196605 4096 55
huge "huge: 1 bit, 2^31 wide, 8 lines" "" 1 2147483648 8 1 8 ff
huge "huge: 1 bit, 2^29 wide, turned" "PrintRotate=1" 1 536870912 1 1 0 ff
huge "huge: 4 bits, 65536 x 32769" "" 4 65536 32769 1 32769 11
huge "huge: page buffer of 2^31 bytes" "" 8 8 32768 65536 4096 00
huge "huge: 32 bits, 2^30 wide, one line" "ImageAlgorithm=1" 32 1073741824 1 4 4 00

echo "$count jobs: the $arch filter under $(basename "$emulator") wrote the same bytes as the native one"
