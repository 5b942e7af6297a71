#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Load: round after round on a fresh server (ZELP_LOAD_ROUNDS, 10), four
# printers on loopback raw printers and eight clients at once, each
# sending its printer 50 jobs in turn of every format the printers take
# (PWG raster, PNG, JPEG, ESC/POS): 400 jobs a round. Every job must end
# completed, each printer's bytes be the sum of its jobs' bytes as each
# prints alone, the server answer throughout and stop on SIGTERM within
# 5 s. Prints jobs/s and the server's RSS after start and after a round.
source "$(dirname "$0")/common.sh"
init_work pa-load
rounds=${ZELP_LOAD_ROUNDS:-10}
jobs_per_client=50
PA_LOG_LEVEL=info

# The documents: small, as receipts are.
"$ZELP_RASTERWRITE" --pattern receipt --width 384 --height 60 -o "$WORK/doc.ras" --picture-out "$WORK/doc.pgm" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/doc.ras" "$WORK/doc.pwg" || fail "zelp-pwgconvert"
pnmtopng "$WORK/doc.pgm" >"$WORK/doc.png" 2>/dev/null
pnmtojpeg "$WORK/doc.pgm" >"$WORK/doc.jpg" 2>/dev/null || fail "pnmtojpeg"
printf '\033@load test line\n\n\n\035V\001' >"$WORK/doc.escpos"
formats=(image/pwg-raster image/png image/jpeg application/vnd.zelp-escpos)
files=(doc.pwg doc.png doc.jpg doc.escpos)
models=(zelp80 zelp58 zelp80 zelp58)

# The bytes of each document on each model, printed alone.
declare -A ref
start_pa
for m in zelp80 zelp58; do
  add_printer "ref-$m" "$m"
  for i in "${!formats[@]}"; do
    out=$(print_job "ref-$m" "$WORK/${files[i]}" "${formats[i]}" "ref-$i")
    ref[$m/$i]=$(stat -c %s "$out")
  done
done
stop_pa

# One client's test file: its jobs in turn of the four formats.
client_test() {
  local n=$1 j i test=$WORK/client-$1.test
  for ((j = 0; j < jobs_per_client; j++)); do
    i=$(((j + n) % 4))
    printf '{ NAME "job %s" OPERATION Print-Job\n  GROUP operation-attributes-tag\n%s\n%s\n%s\n' "$j" \
      '  ATTR charset attributes-charset utf-8' '  ATTR naturalLanguage attributes-natural-language en' \
      '  ATTR uri printer-uri $uri'
    printf '  ATTR name requesting-user-name client-%s\n  ATTR mimeMediaType document-format %s\n' "$n" "${formats[i]}"
    printf '  FILE %s\n  STATUS successful-ok }\n' "$WORK/${files[i]}"
  done >"$test"
}
for n in 0 1 2 3 4 5 6 7; do client_test "$n"; done

rss_of() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }
answers() { curl -sf -o /dev/null --max-time 5 "http://localhost:$PA_PORT/"; }
pa_stopped() { ! pa_alive; }

total_jobs=0 total_seconds=0 rss_start=0 rss_end=0
for ((round = 1; round <= rounds; round++)); do
  rm -rf "$WORK/pa" "$WORK/raw"
  PA_PORT=""
  start_pa
  raws=()
  for p in 0 1 2 3; do
    start_rawprinter "$WORK/raw/$p"
    raws+=("$RAW_PID")
    add_raw_printer "p$p" "${models[p]}" "socket://127.0.0.1:$RAW_PORT"
  done
  r=$(rss_of "$PA_PID")
  ((r > rss_start)) && rss_start=$r
  began=$(date +%s.%N)
  clients=()
  for n in 0 1 2 3 4 5 6 7; do
    ipptool -T 60 "$(printer_uri "p$((n % 4))")" "$WORK/client-$n.test" >"$WORK/client-$n.out" 2>&1 &
    clients+=($!)
  done
  # The server answers while the clients print.
  while kill -0 "${clients[@]}" 2>/dev/null; do
    pa_alive || fail "round $round: the server died: $(tail -n 5 "$PA_DIR/stderr")"
    answers || fail "round $round: the server does not answer ($(grep -c Completed "$PA_DIR/log") jobs done)"
    sleep 0.5
  done
  for n in "${!clients[@]}"; do
    wait "${clients[n]}" || fail "round $round: client $n: $(grep -B2 -A8 'FAIL' "$WORK/client-$n.out" | head -n 20)"
  done
  done_jobs() { [ "$(grep -c '] Completed, ' "$PA_DIR/log")" -ge $((8 * jobs_per_client)) ]; }
  wait_until 60 done_jobs || fail "round $round: $(grep -c '] Completed, ' "$PA_DIR/log") of $((8 * jobs_per_client)) jobs completed"
  ended=$(date +%s.%N)
  ! grep -E '\] (Aborted|Canceled), ' "$PA_DIR/log" | head -n 3 | grep . >&2 || fail "round $round: jobs did not complete"
  # Each job started once.
  started=$(grep -c '\] Starting print job' "$PA_DIR/log")
  ((started == 8 * jobs_per_client)) || fail "round $round: $started job starts for $((8 * jobs_per_client)) jobs"
  r=$(rss_of "$PA_PID")
  ((r > rss_end)) && rss_end=$r
  # Each printer's bytes: its two clients' jobs.
  for p in 0 1 2 3; do
    want=0
    for n in "$p" "$((p + 4))"; do
      for ((j = 0; j < jobs_per_client; j++)); do want=$((want + ref[${models[p]}/$(((j + n) % 4))])); done
    done
    wait_until 30 bash -c "[ \$(cat '$WORK/raw/$p'/job-*.bin 2>/dev/null | wc -c) -eq $want ]" ||
      fail "round $round: printer p$p got $(cat "$WORK/raw/$p"/job-*.* | wc -c) bytes, expected $want"
  done
  answers || fail "round $round: the server does not answer after the jobs"
  kill -TERM "$PA_PID"
  wait_until 5 pa_stopped || fail "round $round: the server did not stop within 5 s of SIGTERM"
  stop_pa
  for pid in "${raws[@]}"; do stop_pid "$pid"; done
  total_jobs=$((total_jobs + 8 * jobs_per_client))
  total_seconds=$(awk -v t="$total_seconds" -v a="$began" -v b="$ended" 'BEGIN { print t + b - a }')
  log "ok: round $round: $((8 * jobs_per_client)) jobs in $(awk -v a="$began" -v b="$ended" 'BEGIN { printf "%.1f", b - a }') s"
done
log "PASS: $rounds rounds, $total_jobs jobs, $(awk -v n="$total_jobs" -v t="$total_seconds" 'BEGIN { printf "%.1f", n / t }') jobs/s;" \
  "server RSS at most ${rss_start} KiB after start, ${rss_end} KiB after a round"
