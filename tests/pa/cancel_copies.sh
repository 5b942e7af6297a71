#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# A 10-copy receipt job through the Printer Application to the virtual
# printer on TCP, at the print speed of the model, cancelled once the
# second receipt is cut: with the output paced to the printer, no more
# than one receipt's paper comes out after the cancel, and at most one
# more cut. ZELP_CANCEL_OPTIONS adds job attributes (zelp-pacing=off for
# the unpaced figure); ZELP_REPORT_ONLY=1 reports without judging.
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/../cups/vprinter.sh"
[ -n "${ZELP_VPRINTER:-}" ] || fail "ZELP_VPRINTER is not set (run the test through ctest)"
init_work pa-cancel-copies

start_vprinter "$WORK/vp" --speed 250 --buffer 4096
start_pa
add_printer vp80 zelp80 "socket://127.0.0.1:$VP_PORT"

page_picture receipt 576 900 "$WORK/receipt.pgm"
"$ZELP_RASTERWRITE" --input "$WORK/receipt.pgm" -o "$WORK/receipt.ras" >/dev/null || fail "zelp-rasterwrite"
"$ZELP_PWGCONVERT" "$WORK/receipt.ras" "$WORK/receipt.pwg" || fail "zelp-pwgconvert"
# The raster is streamed: the request lasts as long as the job.
# shellcheck disable=SC2086
test=$(job_test image/pwg-raster receipts copies=10 ${ZELP_CANCEL_OPTIONS:-})
start_bg ipptool -t -f "$WORK/receipt.pwg" "$(printer_uri vp80)" "$test" >"$WORK/submit.out" 2>&1
job_processing() { pa jobs -d vp80 2>/dev/null | awk '$2 == "processing" { print $1; exit }'; }
is_set() { [ -n "$("$@")" ]; }
# (Unpaced, the job may be over before it is seen processing: the first.)
seen() { is_set job_processing || { [ "${ZELP_REPORT_ONLY:-0}" = 1 ] && vp_at_least_cuts 1; }; }
wait_until 30 seen || fail "the job is not processing"
id=$(job_processing)
id=${id:-1}

wait_until 120 vp_at_least_cuts 2 || fail "the printer did not cut two receipts: $(tail -n 3 "$VP_DIR/log")"
# Unpaced, the job may be over (all its bytes in the buffers) by now.
pa cancel -d vp80 -j "$id" >"$WORK/cancel.log" 2>&1 || [ "${ZELP_REPORT_ONLY:-0}" = 1 ] ||
  fail "cancel: $(cat "$WORK/cancel.log")"
cuts=$(vp_state cuts) paper=$(vp_state paper_mm)
[ "${ZELP_REPORT_ONLY:-0}" = 1 ] || [ "$(wait_job_end vp80 "$id")" = canceled ] ||
  fail "the cancelled job did not end cancelled"
wait_until 120 vp_done || fail "the printer did not finish: $(tail -n 3 "$VP_DIR/log")"

receipt=$(awk '$2 == "event=cut" { sub("length_mm=", "", $4); print $4; exit }' "$VP_DIR/log")
more_cuts=$(($(vp_state cuts) - cuts))
more_paper=$(awk -v a="$(vp_state paper_mm)" -v b="$paper" 'BEGIN { printf "%.1f", a - b }')
log "ok: after the cancel ${more_paper} mm of paper and $more_cuts cuts (a receipt is $receipt mm)"
pa_alive || fail "the Printer Application died"
stop_pa
[ "${ZELP_REPORT_ONLY:-0}" = 1 ] && exit 0
((more_cuts <= 1)) || fail "$more_cuts receipts were cut after the cancel"
awk -v more="$more_paper" -v one="$receipt" 'BEGIN { exit !(more <= one) }' ||
  fail "$more_paper mm of paper after the cancel: more than a receipt ($receipt mm)"
log "PASS: the cancelled job stopped within one receipt"
