#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# From a fresh Debian 12 machine to a printed receipt: installs what the build
# needs, builds the driver alone (the driver preset: no tests, no benchmarks),
# draws the sample receipt into CUPS raster, runs raster_to_ZELP on it with
# the bundled 80 mm PPD, and sums up what the printer would receive.
#
# Output: out/demo/receipt.ras (the raster page), out/demo/receipt.png (the
# picture on it), out/demo/receipt.bin (the printer bytes),
# out/demo/receipt-preview.png (those bytes drawn as paper) and
# out/demo/filter.log (the filter's messages).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s.%N)

# --- packages, only those missing -----------------------------------------
scripts/install-deps.sh driver

# --- build ------------------------------------------------------------------
cmake --preset driver
cmake --build --preset demo -j2

build=$root/build/driver
filter=$build/filter/raster_to_ZELP
rasterwrite=$build/tools/zelp-rasterwrite
preview=$build/tools/escpos/escpos-preview
ppd=$build/ppd/zelp80.ppd
for f in "$filter" "$rasterwrite" "$preview" "$ppd"; do
    if [[ ! -e $f ]]; then
        echo "demo: $f was not built" >&2
        exit 1
    fi
done

# --- the job ------------------------------------------------------------------
out=$root/out/demo
mkdir -p "$out"
"$rasterwrite" --pattern receipt --bpp 8 -o "$out/receipt.ras" --picture-out "$out/receipt.png"

job_started=$(date +%s.%N)
status=0
PPD=$ppd "$filter" 1 demo "Sample receipt" 1 "" "$out/receipt.ras" \
    >"$out/receipt.bin" 2>"$out/filter.log" || status=$?
job_ended=$(date +%s.%N)
if ((status != 0)); then
    echo "demo: raster_to_ZELP exited with status $status:" >&2
    cat "$out/filter.log" >&2
    exit 1
fi

# --- summary ------------------------------------------------------------------
pages=$(grep -c '^PAGE:' "$out/filter.log" || true)
# Decodes the output command by command, so bytes inside raster data never
# count, and draws the paper as the printer would print it.
counts=$("$preview" --summary -o "$out/receipt-preview.png" "$out/receipt.bin")
field() { sed -n "s/^$1: //p" <<<"$counts"; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ended=$(date +%s.%N)

echo
echo "Sample receipt printed to $out/receipt.bin"
printf '  pages          %s\n' "$pages"
printf '  raster bands   %s (%s dot rows)\n' "$(field bands)" "$(field dot_rows)"
printf '  bytes written  %s\n' "$(stat -c %s "$out/receipt.bin")"
printf '  filter time    %s s\n' "$(seconds "$job_started" "$job_ended")"
printf '  total time     %s s (packages, build and job)\n' "$(seconds "$started" "$ended")"
echo "  picture        $out/receipt.png (the page as drawn)"
echo "  preview        $out/receipt-preview.png (the paper as the printer prints it)"
