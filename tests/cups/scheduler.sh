#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# A private scheduler: our own cupsd on 127.0.0.1, queues made with lpadmin
# from our PPDs whose device is a raw printer of the test's own. What lp
# prints (a PDF and a PNG) must reach the printer exactly as cupsfilter
# makes it for the same file and options, and the job's options must change
# the framing as the tests' table of printer commands says. Every model
# gets a queue; the image commands print the same paper.
source "$(dirname "$0")/common.sh"

init_work sched
setup_cups_tree
ppd80=$ZELP_PPD_DIR/zelp80.ppd
ppd58=$ZELP_PPD_DIR/zelp58.ppd
[ -r "$ppd80" ] && [ -r "$ppd58" ] || fail "zelp80.ppd and zelp58.ppd are needed in $ZELP_PPD_DIR"

# A receipt as a PNG: text, then a grey ramp, as wide as the 80 mm head.
png=$WORK/receipt.png
printf 'ZELP TEST RECEIPT\n\nCoffee        2.50\nCroissant     1.80\n\nTOTAL         4.30\n' |
  pbmtext | pamscale -xsize 576 2>/dev/null >"$WORK/text.pgm"
pgmramp -lr 576 60 | pamcat -tb "$WORK/text.pgm" - | pnmtopng >"$png" ||
  fail "netpbm cannot make the test PNG"
pdf=$(cups_test_page)

start_rawprinter "$WORK/printer"
start_cupsd

# The installed layout (model/zelp/ under the data folder) is what the
# scheduler's driver list shows.
# The driver list comes from a helper that the scheduler runs; on a busy
# machine its first answer has been seen to fail ("Bad file descriptor").
drivers=""
for attempt in 1 2 3; do
  drivers=$(lpinfo -h "$CUPS_HOST" -m 2>"$WORK/lpinfo.err") && break
  log "lpinfo -m failed (attempt $attempt): $(cat "$WORK/lpinfo.err")"
  drivers=""
  sleep 1
done
[ -n "$drivers" ] || fail "lpinfo -m gives no driver list"
for ppd in "${ZELP_PPDS[@]}"; do
  grep -q "^zelp/$(basename "$ppd") " <<<"$drivers" ||
    fail "lpinfo -m does not list zelp/$(basename "$ppd")"
done

device="socket://127.0.0.1:$RAW_PORT"
# The raw printer never answers a status request; with ReadStatus=0 the
# queues get exactly cupsfilter's bytes (reading status: tests/printer).
cups_client lpadmin -h "$CUPS_HOST" -p zelp -E -v "$device" -P "$ppd80" -o ReadStatus=0 2>"$WORK/lpadmin.log" ||
  fail "lpadmin -P failed: $(cat "$WORK/lpadmin.log")"
# The other models by name: zelp58 for zelp58.ppd.
for ppd in "${ZELP_PPDS[@]}"; do
  queue=$(basename "$ppd" .ppd)
  [ "$ppd" = "$ppd80" ] && continue
  cups_client lpadmin -h "$CUPS_HOST" -p "$queue" -E -v "$device" -m "zelp/$queue.ppd" -o ReadStatus=0 2>"$WORK/lpadmin.log" ||
    fail "lpadmin -m zelp/$queue.ppd failed: $(cat "$WORK/lpadmin.log")"
done
lpstat -h "$CUPS_HOST" -p zelp | grep -q 'enabled' || fail "queue zelp is not enabled"

# The jobs: queue, file, options. Each reaches the printer as connection
# number (row index + 1), since the jobs go one after the other.
jobs=(
  "zelp   $pdf"
  "zelp   $png"
  "zelp   $pdf Cutting=7"
  "zelp   $pdf Cutting=0"
  "zelp   $png Cutting=11 Beeper=3 CashDrawer=6 FeedDist_B=2 FeedDist=19 Logo=1 Logo_A=2"
  "zelp   $png CashDrawer=3 BMSetting=1 BMHeight=3 BMOffset=10 BMDistance=10 ImageAlgorithm=1"
  "zelp   $pdf BMSetting=2 Cutting=14 Beeper=9"
  "zelp58 $pdf"
  "zelp   $png Darkness=3 Speed=4 GraphicsCommand=1"
  "zelp   $png Darkness=1 GraphicsCommand=2"
)
# A job of the defaults on every other model.
for ppd in "${ZELP_PPDS[@]}"; do
  [ "$ppd" = "$ppd80" ] || [ "$ppd" = "$ppd58" ] || jobs+=("$(basename "$ppd" .ppd) $png")
done
declare -A received
n=0
for row in "${jobs[@]}"; do
  read -r queue file options <<<"$row"
  n=$((n + 1))
  read -ra pairs <<<"${options:-}"
  opts=()
  for pair in "${pairs[@]}"; do opts+=(-o "$pair"); done
  what="job $n: $queue $(basename "$file") ${options:-(defaults)}"

  reply=$(lp -h "$CUPS_HOST" -d "$queue" "${opts[@]}" "$file") || fail "$what: lp failed"
  [[ $reply =~ request\ id\ is\ $queue-([0-9]+) ]] || fail "$what: lp said: $reply"
  id=${BASH_REMATCH[1]}
  wait_job_finished "$queue" "$id"
  got=$(wait_for_job_bytes "$n" 10)
  received[$n]=$got

  ppd=$ppd80
  [ "$queue" = zelp ] || ppd=$ZELP_PPD_DIR/$queue.ppd
  want=$WORK/cupsfilter-$n.prn
  run_cupsfilter "$ppd" "$want" "$file" "${opts[@]}"
  cmp -s "$got" "$want" ||
    fail "$what: the printer received $(stat -c %s "$got") bytes that differ from cupsfilter's $(stat -c %s "$want") ($(cmp "$got" "$want" 2>&1 | head -n 1))"

  load_settings "$ppd" "${pairs[@]}"
  if [[ $options == *GraphicsCommand=[12]* ]]; then
    # The other image commands: framed as the tests' command table says,
    # and the same paper as the PNG with the defaults (job 2), dot for dot.
    head=$(expected_job_start)$(expected_page_start)
    tail=$(expected_page_end)$(expected_job_end)
    all=$(hex_of "$got")
    [ "${all:0:${#head}}" = "$head" ] || fail "$what: begins ${all:0:${#head}}, expected $head"
    [ "${all:$((${#all} - ${#tail}))}" = "$tail" ] || fail "$what: does not end with $tail"
    "$ZELP_PREVIEW" -o "$got.png" "$got" >/dev/null || fail "$what: escpos-preview cannot read it"
    "$ZELP_PREVIEW" -o "${received[2]}.png" "${received[2]}" >/dev/null
    cmp -s "$got.png" "${received[2]}.png" || fail "$what: the paper differs from that of GS v 0"
    log "ok: $what: framed as the table says, the same paper as with GS v 0"
    continue
  fi
  # The shipped defaults send compact transfer: the checks of the framing
  # and band width go to the same job with Transfer=0, whose paper it must be.
  run_cupsfilter "$ppd" "$want.full" "$file" "${opts[@]}" -o Transfer=0
  check_receipt "$want.full" "$(ppd_width_bytes "$ppd")" "$what"
  check_same_paper "$got" "$want.full" "$(ppd_width_bytes "$ppd")" "$what"
done

# Cutting=7 against Cutting=0 on the same page: the same raster, the same
# start, and the page end gains the feed and cut, 1B 64 04 1B 69.
decode_stream "${received[3]}"
raster7=$(head -c "$AFTER_LAST_BAND" "${received[3]}" | hex_of)
tail7=$(stream_tail_hex "${received[3]}")
decode_stream "${received[4]}"
raster0=$(head -c "$AFTER_LAST_BAND" "${received[4]}" | hex_of)
tail0=$(stream_tail_hex "${received[4]}")
[ "$raster7" = "$raster0" ] || fail "Cutting changed more than the page end"
[ "$tail7" = "${tail0}1b64041b69" ] ||
  fail "Cutting=7 ends with $tail7, Cutting=0 with $tail0: expected the difference 1b64041b69"
log "ok: Cutting=7 and Cutting=0 differ only by the cut at the page end"

# The threshold (job 6) and error diffusion (job 5) render the same PNG
# differently, and only the raster differs from what the framing explains.
decode_stream "${received[5]}"
dots5=${SUMMARY[dots_set]}
decode_stream "${received[6]}"
dots6=${SUMMARY[dots_set]}
[ "$dots5" != "$dots6" ] || fail "ImageAlgorithm=1 printed the same dots as error diffusion"
log "ok: threshold and error diffusion print different dots ($dots6 and $dots5)"
