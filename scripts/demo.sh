#!/usr/bin/env bash
# From a fresh Debian 12 machine to a printed receipt: installs what the build
# needs, builds the default preset, draws the sample receipt into CUPS raster,
# runs raster_to_ZELP on it with the bundled 80 mm PPD, and sums up what the
# printer would receive.
#
# Output: out/demo/receipt.ras (the raster page), out/demo/receipt.png (the
# picture on it), out/demo/receipt.bin (the printer bytes) and
# out/demo/filter.log (the filter's messages).
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
started=$(date +%s.%N)

# --- packages, only those missing -----------------------------------------
packages=(build-essential cmake pkg-config libcups2-dev libcupsimage2-dev libpng-dev
          cups-ppdc cups-client libgtest-dev)
missing=()
for p in "${packages[@]}"; do
    state=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [[ $state != "install ok installed" ]]; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=()
    if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# --- build ------------------------------------------------------------------
cmake --preset default
cmake --build --preset default -j2

build=$root/build/default
filter=$build/filter/raster_to_ZELP
rasterwrite=$build/tools/zelp-rasterwrite
ppd=$build/ppd/zelp80.ppd
for f in "$filter" "$rasterwrite" "$ppd"; do
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
# Walks the output command by command, so bytes inside raster data never count.
counts=$("$rasterwrite" --count-escpos "$out/receipt.bin")
field() { tr ' ' '\n' <<<"$counts" | sed -n "s/^$1=//p"; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
ended=$(date +%s.%N)

echo
echo "Sample receipt printed to $out/receipt.bin"
printf '  pages          %s\n' "$pages"
printf '  raster bands   %s (%s dot rows)\n' "$(field bands)" "$(field rows)"
printf '  bytes written  %s\n' "$(stat -c %s "$out/receipt.bin")"
printf '  filter time    %s s\n' "$(seconds "$job_started" "$job_ended")"
printf '  total time     %s s (packages, build and job)\n' "$(seconds "$started" "$ended")"
echo "  picture        $out/receipt.png"
