# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Shared parts of the Printer Application tests (label "pa"), on top of
# tests/cups/common.sh (process bookkeeping, raw printer, private cupsd,
# expected framing). CTest sets, besides that file's variables:
#   ZELP_PA           the built zelp-printer-app
#   ZELP_PWGCONVERT   the built zelp-pwgconvert (tests/pa/pwg_convert.cpp)
# The server runs on a free loopback port with its spool, state, log and
# control socket in the work folder, and is stopped by its process id.

# shellcheck source=../cups/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../cups/common.sh"

for var in ZELP_PA ZELP_PWGCONVERT ZELP_RASTERWRITE; do
  [ -n "${!var:-}" ] || { echo "FAIL: $var is not set (run the test through ctest)" >&2; exit 1; }
done
for cmd in ipptool curl pamcut pnmpad; do
  command -v "$cmd" >/dev/null || { echo "FAIL: $cmd is missing" >&2; exit 1; }
done

PA_DIR=""
PA_PORT=""
PA_PID=""

# Every model, from the model list made with the PPDs: its driver, the name
# of its printer in the tests (p80 for zelp80) and its head's dots.
PA_DRIVERS=() PA_PRINTERS=()
declare -A PA_HEAD_DOTS
while IFS=$'\t' read -r _ driver dots _; do
  PA_DRIVERS+=("$driver")
  PA_PRINTERS+=("p${driver#zelp}")
  PA_HEAD_DOTS[p${driver#zelp}]=$dots
done <"$ZELP_PPD_DIR/models.tsv"
[ "${#PA_DRIVERS[@]}" -gt 0 ] || { echo "FAIL: no models in $ZELP_PPD_DIR/models.tsv" >&2; exit 1; }

# Adds a printer of every model, each with its own file:// device.
add_model_printers() {
  local i
  for i in "${!PA_DRIVERS[@]}"; do add_printer "${PA_PRINTERS[i]}" "${PA_DRIVERS[i]}"; done
}

# The program's client sub-commands, through the server's control socket
# in the work folder. (With -u URI, PAPPL 1.3.1's "modify" puts the printer
# URI in the wrong group and fails; the socket has no such trouble.)
# In a sanitizer build: PAPPL 1.3.1 leaks the options list its main loop
# parses from the command line, the footer text, a UUID read from the
# state file, a string of each socket device it opens and the connection
# of the "shutdown" sub-command; suppressed by those functions alone (no
# code of ours calls cupsAddOption). Full stacks (slow unwinding) are
# needed to see papplDeviceOpen in them.
lsan_pappl() {
  local file=$WORK/lsan-pappl.supp
  [ -f "$file" ] ||
    printf 'leak:%s\n' cupsAddOption papplSystemSetFooterHTML papplSystemSetUUID papplDeviceOpen \
      _papplMainloopShutdownServer >"$file"
  printf 'suppressions=%s:print_suppressions=0' "$file"
}
pa() {
  SNAP_COMMON="$PA_DIR" LSAN_OPTIONS="$(lsan_pappl)" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0" \
    "$ZELP_PA" "$@"
}

# Administrators sign in through PAM. The server runs under pam_wrapper
# (package libpam-wrapper) with a PAM service of the test's own whose one
# user is PA_ADMIN, so that no account of the machine is needed.
PAM_WRAPPER_LIB=$(find /usr/lib -name libpam_wrapper.so 2>/dev/null | head -n 1)
PAM_MATRIX=$(find /usr/lib -path '*pam_wrapper/pam_matrix.so' 2>/dev/null | head -n 1)
[ -n "$PAM_WRAPPER_LIB" ] && [ -n "$PAM_MATRIX" ] ||
  { echo "FAIL: pam_wrapper is missing (package libpam-wrapper)" >&2; exit 1; }
PA_ADMIN=zelp-admin:counter-key
pam_service() {
  mkdir -p "$WORK/pam.d"
  printf '%s:%s:zelp-test\n' "${PA_ADMIN%%:*}" "${PA_ADMIN#*:}" >"$WORK/pam.passdb"
  printf '%s required %s passdb=%s\n' auth "$PAM_MATRIX" "$WORK/pam.passdb" account "$PAM_MATRIX" "$WORK/pam.passdb" \
    >"$WORK/pam.d/zelp-test"
  printf 'auth required pam_deny.so\naccount required pam_deny.so\n' >"$WORK/pam.d/other"
}
# Extra server options for the next start_pa (e.g. PA_SERVER_OPTIONS=(-o stream-timeout=2)).
PA_SERVER_OPTIONS=()

# Starts the server (again) with everything in $WORK/pa; sets PA_PORT and
# PA_PID. The port stays the same across restarts.
start_pa() {
  local i
  PA_DIR=$WORK/pa
  mkdir -p "$PA_DIR/spool" "$WORK/out"
  [ -n "$PA_PORT" ] || PA_PORT=$("$ZELP_RAWPRINTER" --pick-port)
  pam_service
  start_bg env SNAP_COMMON="$PA_DIR" LSAN_OPTIONS="$(lsan_pappl)" \
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0:verify_asan_link_order=0" \
    LD_PRELOAD="$PAM_WRAPPER_LIB" PAM_WRAPPER=1 PAM_WRAPPER_SERVICE_DIR="$WORK/pam.d" PAM_WRAPPER_DISABLE_DEEPBIND=1 UID_WRAPPER_DISABLE_DEEPBIND=1 \
    "$ZELP_PA" server -o server-port="$PA_PORT" \
    -o listen-hostname="${PA_LISTEN:-localhost}" -o server-hostname=localhost -o log-level="${PA_LOG_LEVEL:-debug}" \
    -o log-file="$PA_DIR/log" -o log-max-size=0 -o spool-directory="$PA_DIR/spool" -o state-file="$PA_DIR/state" \
    -o auth-service=zelp-test "${PA_SERVER_OPTIONS[@]}" 2>>"$PA_DIR/stderr"
  PA_PID=$BG_PID
  for ((i = 0; i < 200; i++)); do
    [ -n "$(proc_state "$PA_PID")" ] || fail "the Printer Application ended at start: $(tail -n 5 "$PA_DIR/log")"
    curl -sf -o /dev/null "http://localhost:$PA_PORT/" && return 0
    sleep 0.1
  done
  fail "the Printer Application did not answer on port $PA_PORT"
}

# Stops the server by its process id (it saves its state on the way out);
# fails on anything a sanitizer build reported.
stop_pa() {
  stop_pid "$PA_PID"
  [ -z "$(proc_state "$PA_PID")" ] || fail "the Printer Application did not stop"
  if grep -q 'Sanitizer' "$PA_DIR/stderr" 2>/dev/null; then
    head -n 40 "$PA_DIR/stderr" >&2
    fail "the Printer Application's sanitizer report"
  fi
}

pa_alive() { [ -n "$(proc_state "$PA_PID")" ]; }

printer_uri() { printf 'ipp://localhost:%s/ipp/print/%s' "$PA_PORT" "$1"; }
# The same with the administrator's name and password, which ipptool sends
# when the server asks.
admin_uri() { printf 'ipp://%s@localhost:%s/ipp/print/%s' "$PA_ADMIN" "$PA_PORT" "$1"; }

# A web form as a browser sends it: the page fetched with the session
# cookie, its form token sent back with the fields, as the administrator.
# web_form PATH FIELDS...: prints the answer page.
web_form() {
  local path=$1 jar=$WORK/cookies token field fields=()
  shift
  for field in "$@"; do fields+=(--data-urlencode "$field"); done
  token=$(curl -sf -c "$jar" -b "$jar" -u "$PA_ADMIN" "http://localhost:$PA_PORT$path" |
    sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' | head -n 1)
  [ -n "$token" ] || fail "no form on $path"
  curl -sf -c "$jar" -b "$jar" -u "$PA_ADMIN" --data "session=$token" "${fields[@]}" \
    "http://localhost:$PA_PORT$path"
}

# add_printer NAME DRIVER [DEVICE-URI]: a file:// device writing one file a
# job into $WORK/out/NAME unless a device is given.
add_printer() {
  local device=${3:-}
  if [ -z "$device" ]; then
    mkdir -p "$WORK/out/$1"
    device="file://$WORK/out/$1"
  fi
  pa add -d "$1" -m "$2" -v "$device" >"$WORK/add.log" 2>&1 ||
    fail "cannot add printer $1: $(cat "$WORK/add.log")"
}

# add_raw_printer NAME DRIVER DEVICE-URI: a printer that is never asked for
# its status, for the raw listener (which never answers, and would see each
# status query as a connection of its own): it gets its device only once
# zelp-read-status is off.
add_raw_printer() {
  add_printer "$1" "$2"
  pa modify -d "$1" -o zelp-read-status=off >"$WORK/add.log" 2>&1 &&
    pa modify -d "$1" -v "$3" >>"$WORK/add.log" 2>&1 ||
    fail "cannot add printer $1 on $3: $(cat "$WORK/add.log")"
  rmdir "$WORK/out/$1"
}

# An ipptool test file for one job, written into $WORK/jobs; prints its
# path. job_test FORMAT NAME [ATTR=VALUE...]: whole numbers go as
# integers, the rest as keywords.
job_test() {
  local format=$1 name=$2 pair attr value tag test
  shift 2
  test=$WORK/jobs/$name.test
  mkdir -p "$WORK/jobs"
  {
    echo '{ NAME "Print-Job" OPERATION Print-Job'
    echo 'GROUP operation-attributes-tag'
    echo 'ATTR charset attributes-charset utf-8'
    echo 'ATTR naturalLanguage attributes-natural-language en'
    echo 'ATTR uri printer-uri $uri'
    echo 'ATTR name requesting-user-name zelp-test'
    echo "ATTR name job-name \"$name\""
    echo "ATTR mimeMediaType document-format $format"
    echo 'GROUP job-attributes-tag'
    for pair in "$@"; do
      attr=${pair%%=*}
      value=${pair#*=}
      if [[ $value =~ ^-?[0-9]+$ ]]; then tag=integer; else tag=keyword; fi
      echo "ATTR $tag $attr \"$value\""
    done
    echo 'FILE $filename'
    echo 'STATUS successful-ok EXPECT job-id OF-TYPE integer DISPLAY job-id }'
  } >"$test"
  printf '%s\n' "$test"
}

# Submits a job: submit_job PRINTER FILE FORMAT NAME [ATTR=VALUE...].
# Sets JOB_ID.
submit_job() {
  local printer=$1 file=$2 test out
  shift 2
  test=$(job_test "$@")
  out=${test%.test}.out
  ipptool -t -f "$file" "$(printer_uri "$printer")" "$test" >"$out" 2>&1 ||
    fail "job $2 was not accepted: $(tail -n 5 "$out")"
  JOB_ID=$(sed -n 's/.*job-id (integer) = \([0-9]*\).*/\1/p' "$out" | head -n 1)
  [ -n "$JOB_ID" ] || JOB_ID=$(awk '/^job-id/{getline; print $1}' "$out")
  [[ $JOB_ID =~ ^[0-9]+$ ]] || fail "no job id for $2: $(cat "$out")"
}

# The job's state keyword: job_state PRINTER ID.
job_state() {
  local test=$WORK/jobs/state.test
  [ -f "$test" ] || cat >"$test" <<'EOF'
{ NAME "Get-Job-Attributes" OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job
  ATTR name requesting-user-name zelp-test
  ATTR keyword requested-attributes job-state
  STATUS successful-ok DISPLAY job-state }
EOF
  ipptool -t -d job="$2" "$(printer_uri "$1")" "$test" 2>/dev/null |
    sed -n 's/.*job-state (enum) = \([a-z-]*\).*/\1/p;/^job-state$/{n;s/^ *\([a-z-]*\).*/\1/p}' | head -n 1
}

# Waits up to 60 s for the job to end; prints its final state.
wait_job_end() {
  local state i
  for ((i = 0; i < 600; i++)); do
    state=$(job_state "$1" "$2")
    case $state in completed | canceled | aborted) printf '%s\n' "$state"; return 0 ;; esac
    sleep 0.1
  done
  fail "job $2 on $1 did not end within 60 s (state '$state')"
}

# Prints a job and waits for it to complete; for a printer of add_printer's
# own file:// device, prints the path of the printer bytes.
# print_job PRINTER FILE FORMAT NAME [ATTR=VALUE...]
print_job() {
  local printer=$1 name=$4 state
  submit_job "$@"
  state=$(wait_job_end "$printer" "$JOB_ID")
  [ "$state" = completed ] || fail "job $name ended $state: $(grep "Job $JOB_ID\]" "$PA_DIR/log" | grep -E '^[EW] ' | tail -n 3)"
  [ -d "$WORK/out/$printer" ] || return 0
  [ -f "$WORK/out/$printer/$name.prn" ] || fail "job $name left no output in $WORK/out/$printer"
  printf '%s\n' "$WORK/out/$printer/$name.prn"
}

# An ipptool file asking for some printer attributes, with what it
# expects of them: attributes_test FILE ATTRIBUTES [EXPECT-LINE...]
# (ATTRIBUTES comma-separated).
attributes_test() {
  local file=$1 attributes=$2
  shift 2
  {
    echo '{ NAME "Get-Printer-Attributes" OPERATION Get-Printer-Attributes'
    echo 'GROUP operation-attributes-tag'
    echo 'ATTR charset attributes-charset utf-8'
    echo 'ATTR naturalLanguage attributes-natural-language en'
    echo 'ATTR uri printer-uri $uri'
    echo "ATTR keyword requested-attributes $attributes"
    echo 'STATUS successful-ok'
    printf '%s\n' "$@"
    echo '}'
  } >"$file"
}

# Attribute values as the printer reports them: attribute_values PRINTER NAME...
attribute_values() {
  local printer=$1 test=$WORK/attrs.test
  shift
  attributes_test "$test" "$(IFS=,; echo "$*")"
  ipptool -tv "$(printer_uri "$printer")" "$test" | sed -n 's/^ *\(zelp-[a-z-]*\) ([a-z]*) = \(.*\)$/\1=\2/p'
}

# The filter's bytes for a raster and options: filter_bytes PPD RASTER OUT
# OPTIONS.
filter_bytes() {
  PPD=$1 "$ZELP_FILTER" 1 zelp-test title 1 "$4" "$2" >"$3" 2>"$3.log" ||
    fail "raster_to_ZELP failed on $(basename "$2"): $(cat "$3.log")"
}

# Byte-for-byte comparison with a readable failure: where they part, and
# the commands around there.
same_bytes() {
  local got=$1 want=$2 what=$3 at
  cmp -s "$got" "$want" && return 0
  at=$(cmp "$got" "$want" 2>&1 | sed -n 's/.*byte \([0-9]*\).*/\1/p' || true)
  log "$what: $(stat -c %s "$got") bytes from the Printer Application, $(stat -c %s "$want") from the filter;" \
    "first difference at byte ${at:-end}"
  log "--- the Printer Application's commands from there:"
  { "$ZELP_PREVIEW" --log "$got" 2>&1 | awk -v at="${at:-0}" '$1 + 0 >= at - 1800' | head -n 6 >&2; } || true
  log "--- the filter's:"
  { "$ZELP_PREVIEW" --log "$want" 2>&1 | awk -v at="${at:-0}" '$1 + 0 >= at - 1800' | head -n 6 >&2; } || true
  fail "$what: the bytes differ"
}

# A page picture: the named pattern WIDTH x HEIGHT with white rows above
# and below (so both blank-space options have something to do), as PGM.
page_picture() {
  local pattern=$1 width=$2 height=$3 out=$4
  "$ZELP_RASTERWRITE" --pattern "$pattern" --width "$width" --height "$height" --seed 7 \
    -o "$out.tmp.ras" --picture-out "$out.tmp.pgm" >/dev/null || fail "zelp-rasterwrite --pattern $pattern"
  pnmpad -white -top 37 -bottom 50 "$out.tmp.pgm" >"$out" 2>/dev/null || fail "pnmpad"
  rm -f "$out.tmp.ras" "$out.tmp.pgm"
}
