# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The virtual printer (zelp-vprinter, $ZELP_VPRINTER) in the end-to-end
# tests and benchmarks; sourced after tests/cups/common.sh.

# start_vprinter DIR [OPTIONS...]: a virtual printer with its port or
# pseudo-terminal, control socket, log and picture in DIR. Sets VP_DIR,
# VP_PID and VP_PORT (or VP_PTY with --serial).
start_vprinter() {
  VP_DIR=$1
  shift
  mkdir -p "$VP_DIR"
  local args=(--control "$VP_DIR/control" --log "$VP_DIR/log" --png "$VP_DIR/paper.png")
  if [[ " $* " == *" --serial "* ]]; then
    args+=(--pty-file "$VP_DIR/pty")
  else
    args+=(--port 0 --port-file "$VP_DIR/port")
  fi
  start_bg "$ZELP_VPRINTER" "${args[@]}" "$@"
  VP_PID=$BG_PID
  wait_until 10 test -s "$VP_DIR/port" -o -s "$VP_DIR/pty" ||
    fail "the virtual printer did not start: $(tail -n 3 "$VP_DIR/log" 2>/dev/null)"
  VP_PORT=$(cat "$VP_DIR/port" 2>/dev/null || true)
  VP_PTY=$(cat "$VP_DIR/pty" 2>/dev/null || true)
}

# A field of the printer's state: vp_state FIELD (paper_mm, cuts, dropped...).
vp_state() {
  "$ZELP_VPRINTER" --control "$VP_DIR/control" status | tr ' ' '\n' | sed -n "s/^$1=//p"
}

vp_cuts() { grep -c 'event=cut' "$VP_DIR/log" || true; }
vp_at_least_cuts() { (($(vp_cuts) >= $1)); }

# True once the connection has ended and everything received is printed
# (the picture is written then).
vp_done() { grep -q 'event=picture' "$VP_DIR/log"; }

# Seconds from the first paper moved to the last (bands, feeds, cuts), on
# the printer's own clock.
vp_print_seconds() {
  awk '{ sub("t=", "", $1) }
       $2 ~ /^event=(band|feed|cut|logo)$/ { if (first == "") first = $1; last = $1 }
       END { if (first == "" || last == "") exit 1; printf "%.2f\n", last - first }' "$VP_DIR/log"
}

# True once the printer has received BYTES and printed all of it (the
# picture is then written with `save`; on TCP it is written by itself once
# the connection has ended).
vp_printed() {
  local s
  s=$("$ZELP_VPRINTER" --control "$VP_DIR/control" status 2>/dev/null) || return 1
  [[ " $s " == *" received=$1 "* && " $s " == *" buffered=0 "* && " $s " == *" printing=0 "* ]]
}
