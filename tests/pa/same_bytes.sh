#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The Printer Application and raster_to_ZELP print the same bytes: each row
# of the table is one page stream, printed through the Printer Application
# (as PWG raster, or as a PNG picture) with IPP job attributes, and through
# the filter with the matching PPD options; the outputs must be identical.
source "$(dirname "$0")/common.sh"
init_work pa-bytes
start_pa
add_model_printers

# name | printer | page: pattern width height | how it arrives | IPP job attributes | PPD options
#   arrives: plain (8-bit sGray PWG raster), black (8-bit black), copies=N
#   (NumCopies in every header), png (a PNG picture).
# IPP "copies" reaches the filter as that many pages, as CUPS hands it over.
# A page wider than the head goes to the filter as its middle, head wide.
cases=(
  "defaults|p80|receipt 576 400|plain|pages=2|"
  "threshold-copies|p80|noise 576 120|copies=2|zelp-halftoning=threshold zelp-cutting=none zelp-feed-after-page=10 zelp-beeper=3|ImageAlgorithm=1 Cutting=0 FeedDist=6 Beeper=3"
  "framing|p80|page 576 300|plain|pages=2 zelp-cutting=job-end-partial zelp-feed-before-job=5 zelp-cash-drawer=both-job-end zelp-logo-top=2 zelp-logo-bottom=8 zelp-blank-space-end=print|Cutting=2 FeedDist_B=5 CashDrawer=6 Logo=2 Logo_A=8 BlankSpace=0"
  "quarter-turn-mark|p80|receipt 400 300|plain|zelp-rotation=90 zelp-blank-space-start=print zelp-black-mark=full-setup zelp-black-mark-height=8 zelp-black-mark-offset=45 zelp-black-mark-distance=650 zelp-cutting=page-end-0e-job-end-full zelp-feed-after-page=300|PrintRotate=1 LeadingBlank=0 BMSetting=1 BMHeight=3 BMOffset=10 BMDistance=10 Cutting=11 FeedDist=19"
  "half-turn|p80|gradient 576 200|plain|pages=2 zelp-rotation=180 zelp-black-mark=mode-only zelp-cash-drawer=drawer-1-job-start zelp-cutting=page-end-partial zelp-beeper=9 zelp-halftoning=error-diffusion zelp-feed-before-job=270|PrintRotate=2 BMSetting=2 CashDrawer=1 Cutting=14 Beeper=9 ImageAlgorithm=0 FeedDist_B=18"
  "three-quarter-turn|p80|page 500 576|plain|zelp-rotation=270 zelp-halftoning=threshold zelp-black-mark=full-setup zelp-black-mark-height=35 zelp-black-mark-offset=255 zelp-black-mark-distance=3150|PrintRotate=3 ImageAlgorithm=1 BMSetting=1 BMHeight=30 BMOffset=220 BMDistance=60"
  "wider-than-head|p80|page 640 300|plain|pages=2|"
  "black-8bit|p80|receipt 576 300|black|zelp-halftoning=threshold|ImageAlgorithm=1"
  "black-8bit-diffused|p80|noise 576 100|black||"
  "no-copies-means-one|p80|bars 576 100|copies=0||"
  "58mm|p58|receipt 384 300|plain|zelp-cutting=job-end-full zelp-logo-top=1|Cutting=1 Logo=1"
  "58mm-wider-than-head|p58|page 576 200|plain|zelp-halftoning=threshold|ImageAlgorithm=1"
  "ipp-copies|p80|gradient 576 100|plain|pages=2 copies=3|"
  "ipp-and-header-copies|p58|bars 384 100|copies=2|copies=2 zelp-cutting=page-end-full|Cutting=13"
  "picture|p80|receipt 300 250|png|copies=2|"
  "512-head|p8064|receipt 512 300|plain|zelp-cutting=page-end-full|Cutting=13"
  "512-head-wider-page|p8064|page 576 200|plain|pages=2|"
  "512-head-picture|p8064|receipt 300 120|png||"
  "quality|p80|receipt 576 200|plain|print-darkness=25 zelp-print-speed=fast zelp-image-command=bit-image|Darkness=3 Speed=4 GraphicsCommand=1"
  "quality-58|p58|noise 384 100|copies=2|print-darkness=-50 zelp-print-speed=slowest zelp-image-command=graphics|Darkness=1 Speed=1 GraphicsCommand=2"
  "quality-512|p8064|gradient 512 150|plain|pages=2 print-darkness=50 zelp-image-command=graphics|Darkness=4 GraphicsCommand=2"
)

# The middle `head` columns of a PGM.
middle_of() {
  local pgm=$1 head=$2 width
  width=$(head -c 64 "$pgm" | tr -s ' \n' '  ' | cut -d' ' -f2)
  pamcut -left $(((width - head) / 2)) -width "$head" "$pgm"
}

for row in "${cases[@]}"; do
  IFS='|' read -r name printer page arrives ipp ppd <<<"$row"
  read -r pattern width height <<<"$page"
  head_dots=${PA_HEAD_DOTS[$printer]}
  dir=$WORK/case-$name
  mkdir -p "$dir"
  page_picture "$pattern" "$width" "$height" "$dir/page.pgm"

  pages=1
  attrs=()
  for pair in $ipp; do
    case $pair in pages=*) pages=${pair#pages=} ;; *) attrs+=("$pair") ;; esac
  done
  copies=1
  [[ $arrives == copies=* ]] && copies=${arrives#copies=}
  ipp_copies=1
  for pair in "${attrs[@]}"; do [[ $pair == copies=* ]] && ipp_copies=${pair#copies=}; done
  # The filter's page: what the head prints of it.
  filter_page=$dir/page.pgm
  if ((width > head_dots)); then
    middle_of "$dir/page.pgm" "$head_dots" >"$dir/filter.pgm" || fail "$name: pamcut"
    filter_page=$dir/filter.pgm
  fi

  if [ "$arrives" = png ]; then
    # A picture prints one dot a pixel, centred on the head, each copy
    # within the job as the filter prints NumCopies.
    pnmtopng "$dir/page.pgm" >"$dir/page.png" 2>/dev/null || fail "$name: pnmtopng"
    left=$(((head_dots - width) / 2))
    pnmpad -white -left "$left" -right $((head_dots - width - left)) "$dir/page.pgm" >"$dir/filter.pgm"
    filter_page=$dir/filter.pgm
    "$ZELP_RASTERWRITE" --input "$filter_page" --pages "$ipp_copies" -o "$dir/filter.ras" >/dev/null
    got=$(print_job "$printer" "$dir/page.png" image/png "$name" "${attrs[@]}")
  else
    "$ZELP_RASTERWRITE" --input "$dir/page.pgm" --pages "$pages" -o "$dir/arriving.ras" >/dev/null ||
      fail "$name: zelp-rasterwrite"
    convert=()
    [ "$arrives" = black ] && convert+=(--black)
    convert+=(--copies "$copies")
    "$ZELP_PWGCONVERT" "${convert[@]}" "$dir/arriving.ras" "$dir/arriving.pwg" || fail "$name: zelp-pwgconvert"
    filter_copies=$copies
    ((filter_copies > 0)) || filter_copies=1
    # Every page of the stream is the same page: the copies' order is moot.
    "$ZELP_RASTERWRITE" --input "$filter_page" --pages $((pages * ipp_copies)) --copies "$filter_copies" \
      -o "$dir/filter.ras" >/dev/null || fail "$name: zelp-rasterwrite"
    got=$(print_job "$printer" "$dir/arriving.pwg" image/pwg-raster "$name" "${attrs[@]}")
  fi
  filter_bytes "$ZELP_PPD_DIR/zelp${printer#p}.ppd" "$dir/filter.ras" "$dir/filter.bin" "$ppd"
  same_bytes "$got" "$dir/filter.bin" "$name"
  log "ok: $name ($(stat -c %s "$got") bytes)"
done
pa_alive || fail "the Printer Application died"
stop_pa
log "PASS: ${#cases[@]} pages print the same through both front ends"
