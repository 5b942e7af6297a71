#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The state survives SIGKILL at any moment: round after round
# (ZELP_CRASH_ROUNDS, 15) the server saves again and again (a default
# changed in a loop while p80 holds queued jobs, whose attribute files
# each save rewrites) and is killed at a random moment. Every restart has
# both printers, their settings and p80's queued jobs, and those jobs
# print at once, without a new job arriving.
source "$(dirname "$0")/common.sh"
init_work pa-crash
rounds=${ZELP_CRASH_ROUNDS:-15}
queued=6
cut_saves=0
start_pa
add_printer p80 zelp80
add_printer p58 zelp58
pa modify -d p80 -o zelp-cutting=none -o zelp-feed-after-page=30 >/dev/null || fail "modify p80"
page_picture receipt 200 40 "$WORK/doc.pgm"
pnmtopng "$WORK/doc.pgm" >"$WORK/doc.png" 2>/dev/null

cat >"$WORK/beeper.test" <<'EOT'
{ OPERATION Set-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  GROUP printer-attributes-tag
  ATTR integer zelp-beeper-default $beeps
  STATUS successful-ok }
EOT
saved_jobs() { [ "$(grep -c '^Job .* state="3"' "$PA_DIR/state" 2>/dev/null)" -ge "$1" ]; }
printed() { [ "$(find "$WORK/out/p80" -name 'kept-*.prn' | wc -l)" -ge "$1" ]; }

for ((round = 1; round <= rounds; round++)); do
  # Jobs that wait: p80 paused, then saved in the state.
  pa pause -d p80 >/dev/null 2>&1 || fail "round $round: pause"
  for ((j = 0; j < queued; j++)); do submit_job p80 "$WORK/doc.png" image/png "kept-$round-$j"; done
  wait_until 10 saved_jobs "$queued" || fail "round $round: the queued jobs were not saved"
  # Saves one after another, and a kill among them. (Over TCP as the
  # administrator: a sub-command would start a server of its own once
  # this one is gone.)
  for ((k = 0; k < 40; k++)); do
    ipptool -d beeps=$((k % 10)) "$(admin_uri p58)" "$WORK/beeper.test" >/dev/null 2>&1 || true
  done &
  changer=$!
  sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
  kill -KILL "$PA_PID"
  kill "$changer" 2>/dev/null || true
  wait "$changer" 2>/dev/null || true
  stop_pa
  : >"$PA_DIR/log"
  start_pa
  ! grep -q 'save of the state was cut short' "$PA_DIR/log" || cut_saves=$((cut_saves + 1))
  pa printers >"$WORK/printers.txt" 2>&1
  [ "$(sort "$WORK/printers.txt" | tr '\n' ' ')" = "p58 p80 " ] ||
    fail "round $round: printers after the restart: $(cat "$WORK/printers.txt"; tail -n 3 "$PA_DIR/log")"
  attribute_values p80 zelp-cutting-default zelp-feed-after-page-default | sort | tr '\n' ' ' >"$WORK/p80.txt"
  [ "$(cat "$WORK/p80.txt")" = "zelp-cutting-default=none zelp-feed-after-page-default=30 " ] ||
    fail "round $round: p80's settings after the restart: $(cat "$WORK/p80.txt")"
  grep -Eqx 'zelp-beeper-default=[0-9]' <<<"$(attribute_values p58 zelp-beeper-default)" ||
    fail "round $round: p58's beeper default after the restart: $(attribute_values p58 zelp-beeper-default)"
  # The kept jobs print now, with no new job to wake the printer.
  wait_until 30 printed $((round * queued)) ||
    fail "round $round: $(find "$WORK/out/p80" -name 'kept-*.prn' | wc -l) of $((round * queued)) kept jobs printed"
done
stop_pa
log "PASS: $rounds kills ($cut_saves in the middle of a save); every restart had both printers, their settings and the queued jobs, which printed"
