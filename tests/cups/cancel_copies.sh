#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# A 10-copy receipt job through the scheduler to the virtual printer on
# TCP, at the print speed of the model, cancelled once the second receipt
# is cut: with the output paced to the printer, no more than one receipt's
# paper comes out after the cancel, and at most one more cut.
# ZELP_CANCEL_OPTIONS adds queue options (Pacing=0 for the unpaced figure);
# ZELP_REPORT_ONLY=1 reports the paper without judging it.
source "$(dirname "$0")/common.sh"
source "$(dirname "$0")/vprinter.sh"
source "$(dirname "$0")/shop_documents.sh"
[ -n "${ZELP_VPRINTER:-}" ] || fail "ZELP_VPRINTER is not set (run the test through ctest)"

init_work cancel-copies
setup_cups_tree
ppd=$ZELP_PPD_DIR/zelp80.ppd
receipt_pdf 118 "$WORK/receipt.pdf"

start_vprinter "$WORK/vp" --speed 250 --buffer 4096
start_cupsd
opts=()
for pair in ${ZELP_CANCEL_OPTIONS:-}; do opts+=(-o "$pair"); done
cups_client lpadmin -h "$CUPS_HOST" -p zelp -E -v "socket://127.0.0.1:$VP_PORT" -P "$ppd" "${opts[@]}" ||
  fail "lpadmin failed"
reply=$(lp -h "$CUPS_HOST" -d zelp -n 10 "$WORK/receipt.pdf") || fail "lp failed"
[[ $reply =~ request\ id\ is\ zelp-([0-9]+) ]] || fail "lp said: $reply"
id=${BASH_REMATCH[1]}

wait_until 120 vp_at_least_cuts 2 || fail "the printer did not cut two receipts: $(tail -n 3 "$VP_DIR/log")"
cancel -h "$CUPS_HOST" "zelp-$id" || fail "cancel failed"
cuts=$(vp_state cuts) paper=$(vp_state paper_mm)
wait_job_finished zelp "$id"
wait_until 120 vp_done || fail "the printer did not finish: $(tail -n 3 "$VP_DIR/log")"

receipt=$(awk '$2 == "event=cut" { sub("length_mm=", "", $4); print $4; exit }' "$VP_DIR/log")
more_cuts=$(($(vp_state cuts) - cuts))
more_paper=$(awk -v a="$(vp_state paper_mm)" -v b="$paper" 'BEGIN { printf "%.1f", a - b }')
log "ok: after the cancel ${more_paper} mm of paper and $more_cuts cuts (a receipt is $receipt mm)"
[ "${ZELP_REPORT_ONLY:-0}" = 1 ] && exit 0
((more_cuts <= 1)) || fail "$more_cuts receipts were cut after the cancel"
awk -v more="$more_paper" -v one="$receipt" 'BEGIN { exit !(more <= one) }' ||
  fail "$more_paper mm of paper after the cancel: more than a receipt ($receipt mm)"
log "PASS: the cancelled job stopped within one receipt"
