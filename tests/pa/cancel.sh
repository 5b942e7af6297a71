#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# A job cancelled while it prints on a socket:// printer that reads slowly:
# the job ends "canceled", the printer's bytes end with ESC @ after whole
# pages, and the next job prints in full. While the slow printer holds its
# job back, the server still answers for it and another printer prints.
source "$(dirname "$0")/common.sh"
init_work pa-cancel
start_rawprinter "$WORK/raw" 50000
start_pa
add_raw_printer slow zelp80 "socket://127.0.0.1:$RAW_PORT"
add_printer p80 zelp80

# Thirty tall pages: far more than the socket buffers hold at 50 kB/s.
"$ZELP_RASTERWRITE" --pattern bars --width 576 --height 3000 --pages 30 -o "$WORK/long.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/long.ras" "$WORK/long.pwg"
page_picture receipt 576 200 "$WORK/short.pgm"
"$ZELP_RASTERWRITE" --input "$WORK/short.pgm" -o "$WORK/short.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/short.ras" "$WORK/short.pwg"

# The raster is streamed: the request lasts as long as the job.
test=$(job_test image/pwg-raster long)
start_bg ipptool -t -f "$WORK/long.pwg" "$(printer_uri slow)" "$test" >"$WORK/long.out" 2>&1
SUBMIT_PID=$BG_PID
job_processing() { pa jobs -d slow 2>/dev/null | awk '$2 == "processing" { print $1; exit }'; }
# The conditions are read again on every try.
is_set() { [ -n "$("$@")" ]; }
is_empty() { [ -z "$("$@")" ]; }
wait_until 30 test -s "$RAW_DIR/job-1.part" || fail "the slow printer received nothing"
wait_until 30 is_set job_processing || fail "the long job is not processing"
id=$(job_processing)

# The stalled printer blocks neither the server nor another printer.
[ "$(job_state slow "$id")" = processing ] || fail "no state for the stalled job"
other=$(print_job p80 "$WORK/short.pwg" image/pwg-raster beside)
[ -s "$other" ] || fail "the other printer printed nothing"

# A second raster job for the busy printer waits for it; cancelled while it
# waits, it ends cancelled at once and sends the printer nothing (the next
# connection below is the job after).
wait_test=$(job_test image/pwg-raster waiting)
start_bg ipptool -t -f "$WORK/short.pwg" "$(printer_uri slow)" "$wait_test" >"$WORK/waiting.out" 2>&1
job_waiting() { pa jobs -d slow 2>/dev/null | awk -v id="$id" '$1 != id && $2 !~ /completed|canceled|aborted/ { print $1; exit }'; }
wait_until 30 is_set job_waiting || fail "the second job for the busy printer was not taken"
waiting=$(job_waiting)
pa cancel -d slow -j "$waiting" >"$WORK/cancel.log" 2>&1 || fail "cancel: $(cat "$WORK/cancel.log")"
[ "$(wait_job_end slow "$waiting")" = canceled ] || fail "the waiting job, cancelled, did not end cancelled"
wait_until 30 is_empty proc_state "$BG_PID" || fail "the client of the cancelled waiting job got no answer"

pa cancel -d slow -j "$id" >"$WORK/cancel.log" 2>&1 || fail "cancel: $(cat "$WORK/cancel.log")"
kill -USR1 "$RAW_PID"
state=$(wait_job_end slow "$id")
[ "$state" = canceled ] || fail "the cancelled job ended $state"
wait_until 60 test -e "$RAW_DIR/job-1.bin" || fail "the slow printer's connection did not end"
stop_pid "$SUBMIT_PID"

tail_hex=$(tail -c 2 "$RAW_DIR/job-1.bin" | hex_of)
[ "$tail_hex" = 1b40 ] || fail "the cancelled job ends with $tail_hex, not ESC @"
decode_stream "$RAW_DIR/job-1.bin"
rows=${SUMMARY[dot_rows]}
((rows > 0 && rows < 30 * 3000)) || fail "the cancelled job holds $rows dot rows of 90000"
# After the last band: ESC @ alone (cancelled within a page, whose missing
# rows count as blank), or the page end and ESC @ (between pages).
load_settings "$ZELP_PPD_DIR/zelp80.ppd"
after=$(stream_tail_hex "$RAW_DIR/job-1.bin")
[ "$after" = 1b40 ] || [ "$after" = "$(expected_page_end)1b40" ] ||
  fail "after the last band of the cancelled job: $after"
log "ok: cancelled after $rows of 90000 dot rows, ends with ESC @"

# The next job prints in full, as the filter prints it.
print_job slow "$WORK/short.pwg" image/pwg-raster after
wait_until 60 test -e "$RAW_DIR/job-2.bin" || fail "the next job did not reach the printer in full"
filter_bytes "$ZELP_PPD_DIR/zelp80.ppd" "$WORK/short.ras" "$WORK/short.filter" ""
same_bytes "$RAW_DIR/job-2.bin" "$WORK/short.filter" "the job after the cancelled one"
pa_alive || fail "the Printer Application died"
stop_pa
log "PASS: cancellation ends with ESC @ and the next job prints in full"
