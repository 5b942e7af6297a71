#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The real filter chain: cupsfilter runs CUPS's own filters (pdftopdf, then
# gstoraster or pdftoraster) on CUPS's test page and feeds raster_to_ZELP,
# for every bundled PPD in every colour model. The printer bytes must carry
# the framing that the PPD's defaults select, bands exactly as wide as the
# model's print head, and the ink of a mostly white page (checked on the
# bytes of Transfer=0; those of the defaults, compact transfer, must draw
# the same paper in fewer bytes).
source "$(dirname "$0")/common.sh"

init_work chain
setup_cups_tree
page=$(cups_test_page)

# The colour models a PPD offers: the choice keywords of ColorModel.
color_models() { sed -n 's/^\*ColorModel \([^/:]*\).*/\1/p' "$1"; }

for ppd in "${ZELP_PPDS[@]}"; do
  name=$(basename "$ppd" .ppd)
  width=$(ppd_width_bytes "$ppd")
  mapfile -t models < <(color_models "$ppd")
  [ "${#models[@]}" -ge 2 ] || fail "$name offers ${#models[@]} colour model(s), expected two"
  depths=""
  for model in "${models[@]}"; do
    what="$name ColorModel=$model"
    # What CUPS's filters hand to raster_to_ZELP: one page, as wide as the
    # head, at the colour model's depth.
    ras="$WORK/$name-$model.ras"
    cupsfilter -c "$CUPS_FILES_CONF" -p "$ppd" -e -m application/vnd.cups-raster \
      -o ColorModel="$model" "$page" >"$ras" 2>"$ras.log" ||
      fail "$what: cupsfilter cannot make raster: $(tail -n 5 "$ras.log")"
    info=$("$ZELP_RASTERINFO" "$ras") || fail "$what: the raster from CUPS is unreadable"
    [ "$(wc -l <<<"$info")" -eq 1 ] || fail "$what: expected one raster page, got: $info"
    [[ $info =~ width=([0-9]+).*bits_per_color=([0-9]+) ]] || fail "$what: $info"
    dots=${BASH_REMATCH[1]}
    depths+=" ${BASH_REMATCH[2]}"
    ((dots > (width - 4) * 8 && dots <= width * 8)) ||
      fail "$what: the raster is $dots dots wide; bands of $width bytes need $((width * 8 - 31)) to $((width * 8))"

    # The whole chain down to the printer bytes.
    out="$WORK/$name-$model.prn"
    run_cupsfilter "$ppd" "$out" "$page" -o ColorModel="$model"
    grep -q 'raster_to_ZELP.*exited with no errors' "$out.log" ||
      fail "$what: raster_to_ZELP did not run or failed: $(grep -i 'raster_to_ZELP' "$out.log")"
    run_cupsfilter "$ppd" "$out.full" "$page" -o ColorModel="$model" -o Transfer=0
    load_settings "$ppd"
    check_receipt "$out.full" "$width" "$what"
    check_same_paper "$out" "$out.full" "$width" "$what"
  done
  # Both kinds of raster the filter reads must have been exercised.
  [ "$(tr ' ' '\n' <<<"$depths" | sort -u | grep -c .)" -eq "${#models[@]}" ] ||
    fail "$name: the colour models did not give rasters of different depths:$depths"
  log "ok: $name: colour models ${models[*]} gave raster depths$depths"
done
