#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Cancellation through the scheduler: a long raster job goes to a slow
# printer and is cancelled with `cancel` while it prints. The scheduler's
# SIGTERM must end it through the filter's own path: the page in progress
# goes out whole, then ESC @ (1B 40) in place of the job end. The queue
# stays ready and the next job prints in full.
source "$(dirname "$0")/common.sh"

[ -n "${ZELP_RASTERWRITE:-}" ] || fail "ZELP_RASTERWRITE is not set (run the test through ctest)"

init_work cancel
setup_cups_tree
ppd=$ZELP_PPD_DIR/zelp80.ppd
[ -r "$ppd" ] || fail "zelp80.ppd is needed in $ZELP_PPD_DIR"

pages=40
height=4000
# Long checkered pages: no blank rows at the end, so every page sends all
# its rows; 40 of them (11 MB of printer bytes) outlast what the pipe and
# the socket buffers (a few MB) can take in before the printer reads them.
# A 1-bit raster keeps the file small.
long=$WORK/long.ras
"$ZELP_RASTERWRITE" --pattern checker --width 576 --height "$height" --bpp 1 \
  --pages "$pages" -o "$long" || fail "zelp-rasterwrite cannot make the long job"
short=$WORK/short.ras
"$ZELP_RASTERWRITE" --pattern checker --width 576 --height "$height" --bpp 1 \
  --pages 2 -o "$short" || fail "zelp-rasterwrite cannot make the short job"
page_bytes=$((72 * height + 8 * ((height + 23) / 24)))

# A printer that reads 128 KB a second: the job is still early on when
# the cancel comes, once half a page has arrived. After SIGUSR1 the
# printer takes everything at once.
start_rawprinter "$WORK/printer" 131072
start_cupsd
# ReadStatus=0: the raw printer never answers, and the next job's bytes
# are compared with cupsfilter's.
cups_client lpadmin -h "$CUPS_HOST" -p zelp -E -v "socket://127.0.0.1:$RAW_PORT" -P "$ppd" -o ReadStatus=0 \
  2>"$WORK/lpadmin.log" ||
  fail "lpadmin failed: $(cat "$WORK/lpadmin.log")"

# Beeper=3 makes the job end visible: a job that ends normally beeps.
job_opts=(-o document-format=application/vnd.cups-raster -o Beeper=3)
reply=$(lp -h "$CUPS_HOST" -d zelp "${job_opts[@]}" "$long") || fail "lp failed"
[[ $reply =~ request\ id\ is\ zelp-([0-9]+) ]] || fail "lp said: $reply"
id=${BASH_REMATCH[1]}

# Half a page at the printer: the job is printing. (Should it be over
# already, the page count below says so.)
received() {
  local f size
  for f in "$RAW_DIR/job-1.part" "$RAW_DIR/job-1.bin"; do
    size=$(stat -c %s "$f" 2>/dev/null) || continue
    ((size >= page_bytes / 2)) && return 0
  done
  return 1
}
wait_until 60 received || fail "the long job did not start printing"
cancel -h "$CUPS_HOST" "zelp-$id" || fail "cancel failed"
kill -USR1 "$RAW_PID"
wait_job_finished zelp "$id"
got=$(wait_for_job_bytes 1 60)

# The stream: the job start and first page start as configured, whole
# pages only, and ESC @ at the very end.
load_settings "$ppd" Beeper=3
decode_stream "$got"
rows=${SUMMARY[dot_rows]}
((rows % height == 0)) || fail "$rows dot rows arrived: a page was cut short"
done_pages=$((rows / height))
((done_pages >= 1 && done_pages < pages)) ||
  fail "$done_pages of $pages pages arrived: the cancel did not stop the job while it printed"
head=$(stream_head_hex "$got")
want="$(expected_job_start)$(expected_page_start)"
[ "$head" = "$want" ] || fail "the job starts with $head, expected $want"
tail=$(stream_tail_hex "$got")
# SIGTERM nearly always finds the filter inside a page, which then gets no
# page end; if it came between two pages, the last page has its page end.
page_end=$(expected_page_end)
ended_pages=$((done_pages - 1))
if [ "$tail" = "${page_end}1b40" ]; then
  ended_pages=$done_pages
elif [ "$tail" != 1b40 ]; then
  fail "the cancelled job ends with $tail, expected 1b40 (or ${page_end}1b40)"
fi
((SUMMARY[count_esc_b] == 0)) || fail "the cancelled job still sent the beeper of the job end"
((SUMMARY[cuts] == ended_pages)) ||
  fail "${SUMMARY[cuts]} page-end cuts for $ended_pages finished pages"
((SUMMARY[count_esc_at] == 2)) || fail "expected ESC @ at the start and at the end only"
log "ok: cancelled after $done_pages of $pages pages; the stream ends with ESC @"

# The filter ended itself (status 0, pages begun), not killed by the
# scheduler after its kill delay.
grep -q "\[Job $id\] PID [0-9]* (.*/raster_to_ZELP) exited with no errors" "$WORK/log/error_log" ||
  fail "raster_to_ZELP did not end cleanly: $(grep "\[Job $id\].*raster_to_ZELP" "$WORK/log/error_log" | tail -n 3)"

# The queue is ready for the next job, and that job prints in full.
status=$(lpstat -h "$CUPS_HOST" -p zelp)
[[ $status == *"is idle"* && $status == *enabled* ]] || fail "the queue is not ready: $status"
reply=$(lp -h "$CUPS_HOST" -d zelp "${job_opts[@]}" "$short") || fail "lp failed"
[[ $reply =~ request\ id\ is\ zelp-([0-9]+) ]] || fail "lp said: $reply"
wait_job_finished zelp "${BASH_REMATCH[1]}"
got=$(wait_for_job_bytes 2 30)
want=$WORK/short.prn
run_cupsfilter "$ppd" "$want" "$short" "${job_opts[@]}"
cmp -s "$got" "$want" || fail "the job after the cancel differs from cupsfilter's output"
decode_stream "$got"
((SUMMARY[dot_rows] == 2 * height)) || fail "the job after the cancel has ${SUMMARY[dot_rows]} dot rows"
[ "$(stream_tail_hex "$got")" = "$(expected_page_end)$(expected_job_end)" ] ||
  fail "the job after the cancel does not end with the page end and job end"
log "ok: the queue stayed ready and the next job printed in full"
