#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The printer talks back, end to end: a receipt goes to the virtual printer
# (zelp-vprinter) through CUPS (a private cupsd, the socket backend, a queue
# made by scripts/add-queue.sh) or through the Printer Application, while
# its paper, cover or connection change. What CUPS or IPP reports (printer-
# state-reasons, job state and message) is checked against the printer's own
# log, and the paper it printed against the filter's bytes for the receipt.
#
#   status.sh cups|pa
#
# Each case prints a line "report: ..." with what the user saw and the
# seconds between the printer's change and the report. A shop loads paper
# some 20 s later; here the printer is fixed ZELP_RECOVER_SECONDS (3) after
# the report, which changes nothing the printer does. ZELP_CASES="name ..."
# runs only those cases.
front=${1:?usage: status.sh cups|pa}
case $front in
  cups) source "$(dirname "$0")/../cups/common.sh" ;;
  pa) source "$(dirname "$0")/../pa/common.sh" ;;
  *) echo "usage: status.sh cups|pa" >&2; exit 2 ;;
esac
for var in ZELP_VPRINTER ZELP_ADD_QUEUE; do
  [ -n "${!var:-}" ] || fail "$var is not set (run the test through ctest)"
done
command -v ipptool >/dev/null || fail "ipptool is missing (cups-ipp-utils)"
recover=${ZELP_RECOVER_SECONDS:-3}

# name | printer at start | what happens | reason while it waits | the fix | paper
#   what happens: "-"; "unplug" (the connection dropped once printing has
#   begun); "cancel" (the job cancelled while it waits); "idle:COMMAND" (no
#   job: the printer changes while idle, for the Printer Application, which
#   asks idle printers)
cases=(
  "paper-out-before|--paper-out|-|media-empty|paper load|whole"
  "paper-out-mid|--roll-mm 40 --near-end-mm 0|-|media-empty|paper load 5000|whole"
  "cover-open|--cover-open|-|cover-open|cover close|whole"
  "paper-near-end|--near-end|-|media-low|-|whole"
  "cutter-error|--cutter-error|-|other|cutter fix|whole"
  "never-answers|--no-status|-|-|-|whole"
  "off-at-job-time|--power-off|-|offline|power on|whole"
  "unplugged|--speed 20|unplug|-|-|fragment"
  "cancel-waiting|--paper-out|cancel|media-empty|-|none"
  "idle-cover-open||idle:cover open|cover-open|cover close|none"
)

init_work "printer-$front"
now() { printf '%s' "$EPOCHREALTIME"; }
since() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

# The receipt: CUPS raster for the queue, the same page as a PNG for the
# Printer Application, and what the filter sends for it unasked.
"$ZELP_RASTERWRITE" --pattern receipt -o "$WORK/receipt.ras" --picture-out "$WORK/receipt.pgm" >/dev/null ||
  fail "zelp-rasterwrite"
pnmtopng "$WORK/receipt.pgm" >"$WORK/receipt.png" 2>/dev/null || fail "pnmtopng"
PPD=$ZELP_PPD_DIR/zelp80.ppd "$ZELP_FILTER" 1 zelp-test receipt 1 "ReadStatus=0" "$WORK/receipt.ras" \
  >"$WORK/receipt.bin" 2>/dev/null || fail "raster_to_ZELP on the receipt"
"$ZELP_PREVIEW" -o "$WORK/receipt-paper.png" "$WORK/receipt.bin" >/dev/null || fail "escpos-preview"
decode_stream "$WORK/receipt.bin"
rows=${SUMMARY[dot_rows]}

# --- The virtual printer ---------------------------------------------------

start_vprinter() {
  VP_DIR=$1
  shift
  mkdir -p "$VP_DIR"
  start_bg "$ZELP_VPRINTER" --port 0 --port-file "$VP_DIR/port" --control "$VP_DIR/ctl" --log "$VP_DIR/log" \
    --png "$VP_DIR/paper.png" "$@" >"$VP_DIR/out" 2>&1
  VP_PID=$BG_PID
  wait_until 10 test -s "$VP_DIR/port" || fail "the virtual printer did not start"
  VP_PORT=$(cat "$VP_DIR/port")
}
vp() { "$ZELP_VPRINTER" --control "$VP_DIR/ctl" "$@" >>"$VP_DIR/control.out" 2>&1 || fail "zelp-vprinter $*"; }
# The wall time of the printer's first log event matching a pattern.
vp_when() {
  awk -v pattern="$1" '
    $2 == "event=start" { sub("t=", "", $1); t0 = $1; for (i = 3; i <= NF; i++) if ($i ~ /^wall=/) { sub("wall=", "", $i); w0 = $i } }
    $0 ~ pattern { sub("t=", "", $1); printf "%.6f\n", w0 + $1 - t0; exit }' "$VP_DIR/log"
}
vp_has() { grep -qE "$1" "$VP_DIR/log"; }
# Connections that brought the printer more than a status question.
vp_jobs() { awk '$2 == "event=disconnect" { sub("received=", "", $4); if ($4 + 0 > 12) n++ } END { print n + 0 }' "$VP_DIR/log"; }
vp_counter() { "$ZELP_VPRINTER" --control "$VP_DIR/ctl" status | tr ' ' '\n' | sed -n "s/^$1=//p"; }
vp_idle() { [ "$(vp_counter printing)$(vp_counter buffered)" = 00 ]; }

# --- The two front ends ----------------------------------------------------

# "name=value" lines of printer or job attributes: ipp_get URI ATTRIBUTES [JOB-ID]
ipp_get() {
  local uri=$1 attrs=$2 job=${3:-} test op=Get-Printer-Attributes
  [ -z "$job" ] || op=Get-Job-Attributes
  test=$WORK/$op.test
  [ -f "$test" ] || {
    echo "{ OPERATION $op"
    echo 'GROUP operation-attributes-tag'
    echo 'ATTR charset attributes-charset utf-8'
    echo 'ATTR naturalLanguage attributes-natural-language en'
    echo 'ATTR uri printer-uri $uri'
    [ -z "$job" ] || echo 'ATTR integer job-id $job'
    echo 'ATTR name requesting-user-name zelp-test'
    echo 'ATTR keyword requested-attributes $attrs'
    echo 'STATUS successful-ok }'
  } >"$test"
  ipptool -tv -d attrs="$attrs" -d job="$job" "$uri" "$test" 2>/dev/null |
    sed -n 's/^ *\([a-z-]*\) ([^)]*) = \(.*\)$/\1=\2/p'
}
attr() { sed -n "s/^$1=//p" | head -n 1; }

if [ "$front" = cups ]; then
  setup_cups_tree
  start_cupsd
  fe_add() { cups_client "$ZELP_ADD_QUEUE" "$1" "socket://127.0.0.1:$2" zelp80 >/dev/null; }
  fe_uri() { printf 'ipp://%s/printers/%s' "$CUPS_HOST" "$1"; }
  fe_submit() {
    local reply
    reply=$(lp -h "$CUPS_HOST" -d "$1" -o document-format=application/vnd.cups-raster "$WORK/receipt.ras") ||
      fail "lp failed"
    [[ $reply =~ request\ id\ is\ $1-([0-9]+) ]] || fail "lp said: $reply"
    JOB_ID=${BASH_REMATCH[1]}
  }
  # The filter's STATE: lines carry a severity suffix.
  fe_reason() {
    case $1 in media-low | offline) echo "$1-report" ;; *) echo "$1-error" ;; esac
  }
  fe_job_message_attr=job-printer-state-message
  fe_cancel() { cancel -h "$CUPS_HOST" "$1-$2" || fail "cancel $1-$2"; }
  # CUPS hears of a printer only through a job's filter.
  fe_words() { :; }
else
  start_pa
  fe_add() { add_printer "$1" zelp80 "socket://127.0.0.1:$2"; }
  fe_uri() { printer_uri "$1"; }
  fe_submit() { submit_job "$1" "$WORK/receipt.png" image/png receipt; }
  fe_reason() { echo "$1"; }
  fe_job_message_attr=job-state-message
  fe_cancel() { pa cancel -d "$1" -j "$2" >/dev/null 2>&1 || fail "cancel job $2 on $1"; }
  # The printer's web page gives the reason in words.
  fe_words() {
    local words
    case $2 in
      media-empty) words="Out of paper" ;; media-low) words="Replace paper soon" ;; cover-open) words="Cover open" ;;
      offline) words="Offline" ;; *) words="See printer" ;;
    esac
    curl -sf "http://localhost:$PA_PORT/$1/" >"$WORK/$1.html" || fail "$1: no web page"
    grep -q "$words" "$WORK/$1.html" || fail "$1: the web page does not say \"$words\" ($(grep -o 'jobs\?[^<]*' "$WORK/$1.html" | head -n 1))"
    printf '%s' "$words"
  }
fi
reasons() { ipp_get "$(fe_uri "$1")" printer-state-reasons | attr printer-state-reasons; }
has_reason() { [[ ,$(reasons "$1"), == *,$2,* ]]; }
lacks_reason() { ! has_reason "$@"; }
job_attr() { ipp_get "$(fe_uri "$1")" "$3" "$2" | attr "$3"; }
job_is() { [ "$(job_attr "$1" "$2" job-state)" = "$3" ]; }

# --- The cases ---------------------------------------------------------------

for row in "${cases[@]}"; do
  IFS='|' read -r name flags happens shown fix paper <<<"$row"
  [[ -z ${ZELP_CASES:-} || " $ZELP_CASES " == *" $name "* ]] || continue
  [[ $happens == idle:* && $front = cups ]] && continue
  # shellcheck disable=SC2086  # the printer's flags are words
  start_vprinter "$WORK/$name" $flags
  queue=vp-$name
  fe_add "$queue" "$VP_PORT"
  report="$front $name:"
  t_submit=$(now)
  job=
  if [[ $happens == idle:* ]]; then
    # Asked while idle (at most every few seconds, when a client asks).
    wait_until 30 lacks_reason "$queue" offline || fail "$name: the idle printer is not reached"
    t_submit=$(now)
    vp ${happens#idle:}
  else
    fe_submit "$queue"
    job=$JOB_ID
  fi

  t_change=$t_submit
  if [ "$happens" = unplug ]; then
    wait_until 30 vp_has "event=band" || fail "$name: nothing printed"
    t_change=$(now)
    vp unplug
  elif [ "$name" = paper-out-mid ]; then
    wait_until 30 vp_has "event=offline reason=paper-end" || fail "$name: the roll did not run out"
    t_change=$(vp_when "event=offline reason=paper-end")
  fi

  if [ "$shown" != - ]; then
    keyword=$(fe_reason "$shown")
    wait_until 30 has_reason "$queue" "$keyword" || fail "$name: $keyword never reported (reasons: $(reasons "$queue"))"
    t_report=$(now)
    report+=" $keyword after $(since "$t_change" "$t_report") s"
    words=$(fe_words "$queue" "$shown")
    [ -z "$words" ] || report+=" (web page: \"$words\")"
    if [ -n "$job" ]; then
      state=$(job_attr "$queue" "$job" job-state)
      message=$(job_attr "$queue" "$job" "$fe_job_message_attr")
      report+=", job $state \"$message\""
      [ "$fix" = - ] || [[ $state == processing || $state == pending ]] || fail "$name: the job did not wait ($state)"
    fi
    report+=";"
    if [ "$happens" = cancel ]; then
      # Cancelled while it waits: it ends at once, and nothing of it is
      # printed once the paper is back.
      t_cancel=$(now)
      fe_cancel "$queue" "$job"
      wait_until 30 job_is "$queue" "$job" canceled || fail "$name: the job is $(job_attr "$queue" "$job" job-state)"
      report+=" cancelled: job canceled $(since "$t_cancel" "$(now)") s after the cancel;"
      vp paper load
    fi
    if [ "$fix" != - ]; then
      sleep "$recover"
      t_fix=$(now)
      vp $fix
      wait_until 30 lacks_reason "$queue" "$keyword" || fail "$name: $keyword still reported after '$fix'"
      report+=" cleared $(since "$t_fix" "$(now)") s after '$fix';"
    fi
  fi

  if [ "$happens" = unplug ]; then
    if [ "$front" = cups ]; then
      # The queue stops with the job kept: nothing printed again until the
      # shop has the printer back and resumes the queue.
      stopped() { [ "$(ipp_get "$(fe_uri "$queue")" printer-state | attr printer-state)" = stopped ]; }
      wait_until 60 stopped || fail "$name: the queue did not stop"
      message=$(ipp_get "$(fe_uri "$queue")" printer-state-message | attr printer-state-message)
      state=$(job_attr "$queue" "$job" job-state)
      report+=" queue stopped after $(since "$t_change" "$(now)") s (\"$message\"), job $state;"
      [[ $state == pending || $state == processing-stopped ]] || fail "$name: the job is $state, not kept"
      sleep "$recover"
      [ "$(vp_jobs)" = 1 ] || fail "$name: the receipt was sent again while the queue was stopped"
      wait_until 30 vp_idle || fail "$name: the printer did not finish what it had"
      dots_before=$(vp_counter dot_rows)
      report+=" the printer printed $dots_before of $rows dot rows before the drop;"
      cupsenable -h "$CUPS_HOST" "$queue" || fail "cupsenable"
      wait_until 60 job_is "$queue" "$job" completed || fail "$name: the job did not complete after cupsenable"
      wait_until 30 test "$(vp_jobs)" = 2 || fail "$name: the resumed receipt did not reach the printer"
      wait_until 60 vp_has "event=cut " || fail "$name: the resumed receipt was not cut"
      dots=$(($(vp_counter dot_rows) - dots_before))
      # The resumed job first ends the raster block the drop cut short
      # (blank rows), then prints the receipt in full.
      ((dots >= rows && dots < rows + 24)) || fail "$name: the resumed receipt printed $dots dot rows of $rows"
      report+=" after cupsenable the receipt printed whole once ($rows dot rows, after $((dots - rows)) blank rows ending the cut-off block);"
    else
      wait_until 60 job_is "$queue" "$job" aborted || fail "$name: the job was not aborted"
      message=$(job_attr "$queue" "$job" job-state-message)
      report+=" job aborted after $(since "$t_change" "$(now)") s: \"$message\";"
      [[ $message == *"connection to the printer"* ]] || fail "$name: job-state-message \"$message\""
      sleep "$recover"
      [ "$(vp_jobs)" = 1 ] || fail "$name: the receipt was sent again"
      wait_until 30 vp_idle || fail "$name: the printer did not finish what it had"
      report+=" the printer printed $(vp_counter dot_rows) of $rows dot rows, not sent again;"
    fi
  elif [ -n "$job" ] && [ "$happens" != cancel ]; then
    wait_until 60 job_is "$queue" "$job" completed ||
      fail "$name: job $job did not complete ($(job_attr "$queue" "$job" job-state))"
    report+=" job completed $(since "$t_submit" "$(now)") s after submission;"
  fi

  # The paper: the receipt whole and once, as the filter's bytes draw it.
  if [ "$paper" = whole ]; then
    wait_until 30 vp_has "event=cut " || fail "$name: no cut"
    vp save
    cmp -s "$VP_DIR/paper.png" "$WORK/receipt-paper.png" ||
      fail "$name: the paper differs from the receipt (see $VP_DIR/paper.png)"
    cuts=$(grep -c "event=cut " "$VP_DIR/log")
    [ "$cuts" = 1 ] || fail "$name: $cuts cuts"
    report+=" paper: the receipt whole, one cut at $(sed -n 's/.*event=cut .*length_mm=\([0-9.]*\).*/\1/p' "$VP_DIR/log") mm"
    stopped=$(sed -n 's/.*event=online .*offline_s=\([0-9.]*\).*/\1/p' "$VP_DIR/log" | head -n 1)
    [ -z "$stopped" ] || report+=" (the printer stood $stopped s)"
  elif [ "$paper" = none ]; then
    sleep 1
    wait_until 30 vp_idle || fail "$name: the printer did not settle"
    [ "$(vp_counter dot_rows)" = 0 ] && ! vp_has "event=cut " ||
      fail "$name: the printer printed $(vp_counter dot_rows) dot rows"
    report+=" paper: nothing printed"
  fi
  if [ "$name" = never-answers ]; then
    # Asked at the job's start, answered never: the job's bytes follow
    # about a second after the question.
    gap=$(awk '$2 == "event=recv" { sub("t=", "", $1); if (++n == 1) a = $1; else { printf "%.2f", $1 - a; exit } }' "$VP_DIR/log")
    report+="; waited $gap s for an answer"
    awk -v g="$gap" 'BEGIN { exit !(g < 3) }' || fail "$name: the job waited $gap s for a printer that never answers"
    [ "$(reasons "$queue")" = none ] || fail "$name: reasons $(reasons "$queue") for a printer that never answers"
  fi
  log "report: $report"
  stop_pid "$VP_PID"
done
[ "$front" = pa ] && stop_pa
log "PASS: the printer's state reported through $front in every case"
