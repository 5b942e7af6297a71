#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Conformance queries on one printer while another prints, round after
# round for about a minute (ZELP_STRESS_SECONDS): ipptool's ipp-2.0.test
# (which prints, cancels and lists jobs) on p80, attribute and job queries
# on p58 at the same time, and a raster job on p58 now and then. The server
# must answer after every round; the first round it does not is named.
source "$(dirname "$0")/common.sh"
init_work pa-stress
start_pa
add_printer p80 zelp80
add_printer p58 zelp58
IPPTOOL_DIR=$(dirname "$(find /usr/share/cups/ipptool -name ipp-2.0.test | head -n 1)")
[ -f "$IPPTOOL_DIR/ipp-2.0.test" ] || fail "ipptool's test files are missing (package cups-ipp-utils)"

page_picture receipt 300 120 "$WORK/doc.pgm"
pnmtopng "$WORK/doc.pgm" >"$WORK/doc.png" 2>/dev/null
"$ZELP_RASTERWRITE" --pattern receipt --width 384 --height 200 -o "$WORK/doc.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/doc.ras" "$WORK/doc.pwg" || fail "zelp-pwgconvert"
attributes_test "$WORK/state.test" printer-state,printer-state-reasons,queued-job-count \
  'EXPECT printer-state' 'EXPECT queued-job-count'
cat >"$WORK/jobs.test" <<'EOF'
{ NAME "Get-Jobs" OPERATION Get-Jobs
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR keyword which-jobs all
  ATTR keyword requested-attributes job-id,job-state
  STATUS successful-ok }
EOF
raster=$(job_test image/pwg-raster stress-raster)
queued() {
  ipptool -tv "$(printer_uri "$1")" "$WORK/state.test" 2>/dev/null |
    sed -n 's/.*queued-job-count (integer) = \([0-9]*\).*/\1/p'
}
# Waits while the printer's queue goes down; fails once it has stood still
# for a minute (a slow machine prints slowly, a stuck queue not at all).
drains() {
  local count last=-1 since=$SECONDS
  while :; do
    count=$(queued "$1")
    [ "$count" = 0 ] && return 0
    if [ "$count" != "$last" ]; then
      last=$count
      since=$SECONDS
    fi
    ((SECONDS - since < 60)) || return 1
    sleep 0.2
  done
}

seconds=${ZELP_STRESS_SECONDS:-60}
deadline=$((SECONDS + seconds))
rounds=0
while ((SECONDS < deadline)); do
  rounds=$((rounds + 1))
  ipptool -V 2.0 -f "$WORK/doc.png" "$(printer_uri p80)" "$IPPTOOL_DIR/ipp-2.0.test" >"$WORK/round.out" 2>&1 &
  printing=$!
  for ((i = 0; i < 3; i++)); do
    ipptool -q "$(printer_uri p58)" "$IPPTOOL_DIR/get-printer-attributes.test" >/dev/null 2>&1 || true
    ipptool -q "$(printer_uri p58)" "$WORK/state.test" >/dev/null 2>&1 || true
    ipptool -q "$(printer_uri p58)" "$WORK/jobs.test" >/dev/null 2>&1 || true
  done
  # A raster job on p58 now and then; it waits while p58 prints.
  ((rounds % 4 != 0)) || ipptool -q -f "$WORK/doc.pwg" "$(printer_uri p58)" "$raster" >/dev/null 2>&1 || true
  wait "$printing" || true
  pa_alive || fail "round $rounds: the server died ($(tail -n 3 "$PA_DIR/stderr" | tr '\n' ' '))"
  curl -sf -o /dev/null --max-time 10 "http://localhost:$PA_PORT/" ||
    fail "round $rounds: the server does not answer"
  # Every job of the round ends: no printer is left busy for good.
  drains p80 || fail "round $rounds: jobs of p80 stay queued ($(queued p80) for a minute)"
done
drains p58 || fail "jobs of p58 stay queued ($(queued p58) for a minute)"
stop_pa
log "PASS: $rounds rounds of conformance queries beside printing; the server answered throughout"
