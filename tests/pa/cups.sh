#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Through CUPS: a private cupsd makes a driverless queue ("lpadmin -m
# everywhere") on the Printer Application's URI; CUPS's test page and a
# receipt PDF printed with lp complete, and the bytes that reach the
# printer decode to receipts as wide as the 80 mm head.
source "$(dirname "$0")/common.sh"
init_work pa-cups
setup_cups_tree
start_cupsd
start_pa
add_printer p80 zelp80
load_settings "$ZELP_PPD_DIR/zelp80.ppd"
# Every dot row in full, so that bands are as wide as the head: compact
# transfer, the default, is the filter's bytes (same_bytes.sh) and its paper.
pa modify -d p80 -o zelp-transfer=full >"$WORK/modify.log" 2>&1 || fail "modify: $(cat "$WORK/modify.log")"

# As README.md sets the queue up: a cut after each receipt by default.
# cupsd makes the queue's PPD from the printer after lpadmin has returned;
# a default set before it is there is lost (the queue would never cut).
cups_client lpadmin -h "$CUPS_HOST" -p receipts -E -v "$(printer_uri p80)" -m everywhere >"$WORK/lpadmin.log" ||
  fail "lpadmin -m everywhere: $(cat "$WORK/lpadmin.log")"
queue_offers() { lpoptions -h "$CUPS_HOST" -p receipts -l 2>/dev/null | grep -q "$1"; }
wait_until 60 queue_offers '^CutMedia' || fail "cupsd made no PPD for the driverless queue"
cups_client lpadmin -h "$CUPS_HOST" -p receipts -o CutMedia=EndOfPage >>"$WORK/lpadmin.log" ||
  fail "lpadmin -o CutMedia: $(cat "$WORK/lpadmin.log")"
queue_offers '^CutMedia.* \*EndOfPage' || fail "the queue's cut is not EndOfPage: $(lpoptions -h "$CUPS_HOST" -p receipts -l | grep CutMedia)"

# A receipt as a PDF page of 80 x 200 mm, the picture 72 mm wide in its
# middle, where the head is.
"$ZELP_RASTERWRITE" --pattern receipt --width 576 -o "$WORK/receipt.ras" --picture-out "$WORK/receipt.pgm" >/dev/null
pnmtops -noturn -width 3.15 -height 7.87 -imagewidth 2.83 "$WORK/receipt.pgm" >"$WORK/receipt.ps" 2>/dev/null
ps2pdf -dDEVICEWIDTHPOINTS=227 -dDEVICEHEIGHTPOINTS=567 -dFIXEDMEDIA "$WORK/receipt.ps" "$WORK/receipt.pdf" ||
  fail "ps2pdf"

submit() {
  local id title=$1 file=$2
  shift 2
  id=$(cups_client lp -h "$CUPS_HOST" -d receipts -t "$title" "$@" "$file") || fail "lp $file: $id"
  id=${id#request id is receipts-}
  printf '%s\n' "${id%% *}"
}
test_page=$(submit testpage "$(cups_test_page)")
receipt=$(submit receipt "$WORK/receipt.pdf")
copies=$(submit copies "$WORK/receipt.pdf" -n 2)
wait_job_finished receipts "$test_page"
wait_job_finished receipts "$receipt"
wait_job_finished receipts "$copies"
for id in "$test_page" "$receipt" "$copies"; do
  grep -q "\[Job $id\] Job completed" "$WORK/log/error_log" ||
    fail "CUPS job $id did not complete: $(grep "\[Job $id\]" "$WORK/log/error_log" | grep -E '^[EW] ' | tail -n 3)"
done

# The Printer Application names its output after the job title.
job_listed() { pa jobs -d p80 2>/dev/null | grep -q "completed .* $1\$"; }
for title in testpage receipt copies; do
  wait_until 60 test -s "$WORK/out/p80/$title.prn" || fail "no printer bytes for $title: $(ls "$WORK/out/p80")"
  wait_until 60 job_listed "$title" ||
    fail "the Printer Application's $title job did not complete: $(pa jobs -d p80)"
done
decode_stream "$WORK/out/p80/testpage.prn"
[ "${SUMMARY[band_width_bytes]}" = 72 ] || fail "the test page's bands are ${SUMMARY[band_width_bytes]} bytes wide"
((SUMMARY[dots_set] > 0)) || fail "the test page came out blank"
[ "$(stream_head_hex "$WORK/out/p80/testpage.prn")" = "$(expected_job_start)$(expected_page_start)" ] ||
  fail "the test page does not begin as a receipt job"
log "ok: CUPS's test page: ${SUMMARY[bands]} bands of 72 bytes"
check_receipt "$WORK/out/p80/receipt.prn" 72 "receipt PDF through CUPS"
# Two copies: the receipt twice, each framed and cut as a page of its own.
page=$(hex_of "$WORK/out/p80/receipt.prn")
page=${page#"$(expected_job_start)"}
page=${page%"$(expected_job_end)"}
[ "$(hex_of "$WORK/out/p80/copies.prn")" = "$(expected_job_start)$page$page$(expected_job_end)" ] ||
  fail "lp -n 2 is not the receipt's page twice"
log "ok: lp -n 2: the receipt twice"

# Cutting chosen through the driverless queue, which CUPS offers as
# CutMedia from the printer's finishings: two copies of the receipt, cut
# never, after each copy, after the job.
while read -r title cut want; do
  args=(-n 2 -o "CutMedia=$cut")
  id=$(submit "$title" "$WORK/receipt.pdf" "${args[@]}")
  wait_job_finished receipts "$id"
  wait_until 60 test -s "$WORK/out/p80/$title.prn" || fail "no printer bytes for $title"
  wait_until 60 job_listed "$title" || fail "the $title job did not complete"
  decode_stream "$WORK/out/p80/$title.prn"
  [ "${SUMMARY[cuts]}" = "$want" ] || fail "CutMedia=$cut: ${SUMMARY[cuts]} cuts, expected $want"
done <<'EOF2'
cut-none None 0
cut-copies EndOfSet 2
cut-job EndOfJob 1
EOF2
log "ok: CutMedia None, EndOfSet and EndOfJob through CUPS"

# Plain text at 48 columns, as README.md sets the queue up: a line of 48
# characters takes one line, one of 49 two.
cups_client lpadmin -h "$CUPS_HOST" -p receipts -o cpi-default=17 -o lpi-default=7 >"$WORK/lpadmin.log" ||
  fail "lpadmin cpi/lpi: $(cat "$WORK/lpadmin.log")"
for n in 24 48 49; do
  printf '%*s\n' "$n" '' | tr ' ' M >"$WORK/text-$n.txt"
  id=$(submit "text-$n" "$WORK/text-$n.txt")
  wait_job_finished receipts "$id"
  wait_until 60 job_listed "text-$n" || fail "the text-$n job did not complete"
  decode_stream "$WORK/out/p80/text-$n.prn"
  rows[n]=${SUMMARY[dot_rows]}
done
[ "${rows[48]}" = "${rows[24]}" ] && ((rows[49] > rows[48])) ||
  fail "text is not 48 columns: ${rows[24]}, ${rows[48]} and ${rows[49]} dot rows for 24, 48 and 49 characters"
log "ok: text at 17 cpi through the driverless queue: 48 columns"
pa_alive || fail "the Printer Application died"
stop_pa
log "PASS: CUPS prints through a driverless queue on the Printer Application"
