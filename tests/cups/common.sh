# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Shared parts of the end-to-end tests with the real CUPS. Sourced by the
# test scripts, which CTest starts with these variables set:
#   ZELP_FILTER      the built raster_to_ZELP (image_to_ZELP is built beside it)
#   ZELP_PREVIEW     the built escpos-preview
#   ZELP_RAWPRINTER  the built zelp-rawprinter (tests/cups/rawprinter.cpp)
#   ZELP_RASTERINFO  the built zelp-rasterinfo (tests/cups/raster_info.cpp)
#   ZELP_PPD_DIR     the folder of the generated PPD files and models.tsv
#   ZELP_WIRE        the built zelp-wire (the tests' table of printer commands)
#   ZELP_RASTERWRITE the built zelp-rasterwrite (cancel.sh only)
# Everything a test starts is recorded and stopped by process id on exit;
# the test fails if anything that belongs to it is still running then.
# ZELP_KEEP_WORK=1 keeps the work folder of a failed run for inspection,
# ZELP_KEEP_WORK=always that of every run.

set -euo pipefail

for var in ZELP_FILTER ZELP_PREVIEW ZELP_RAWPRINTER ZELP_RASTERINFO ZELP_PPD_DIR ZELP_WIRE; do
  if [ -z "${!var:-}" ]; then
    echo "FAIL: $var is not set (run the test through ctest)" >&2
    exit 1
  fi
done

for cmd in cups-config cupsfilter lpadmin lpinfo lp lpstat cancel gs pbmtext pamscale pgmramp \
  pamcat pnmtopng; do
  command -v "$cmd" >/dev/null ||
    { echo "FAIL: $cmd is missing; scripts/install-deps.sh test installs it" >&2; exit 1; }
done
[ -x "$(command -v cupsd || echo /usr/sbin/cupsd)" ] ||
  { echo "FAIL: cupsd is missing; scripts/install-deps.sh test installs it" >&2; exit 1; }

CUPS_SYSTEM_SERVERBIN=$(cups-config --serverbin)
CUPS_SYSTEM_DATADIR=$(cups-config --datadir)
CUPSD=$(command -v cupsd || echo /usr/sbin/cupsd)

# The clients must never reach the machine's own scheduler, whatever
# client.conf says: every call names our server, and so does CUPS_SERVER.
unset CUPS_SERVER LISTEN_FDS LISTEN_PID
export LC_ALL=C

ZELP_PIDS=()
WORK=""

log() { printf '%s\n' "$*" >&2; }
fail() {
  log "FAIL: $*"
  exit 1
}

# Process state letter, or nothing once the process is gone (a zombie
# child counts as gone: it only waits for us to reap it).
proc_state() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  [ "${stat%% *}" = Z ] || printf '%s' "${stat%% *}"
}

# Stops one process of ours: SIGTERM, up to 15 s, then SIGKILL.
stop_pid() {
  local pid=$1 i
  [ -n "$(proc_state "$pid")" ] || { wait "$pid" 2>/dev/null || true; return 0; }
  kill -TERM "$pid" 2>/dev/null || true
  for ((i = 0; i < 150; i++)); do
    [ -n "$(proc_state "$pid")" ] || break
    sleep 0.1
  done
  if [ -n "$(proc_state "$pid")" ]; then
    log "process $pid did not stop on SIGTERM; killing it"
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

# Processes that still name our work folder in their command line or
# environment: filters, backends and helpers that the scheduler started.
leftover_pids() {
  local p
  [ -n "$WORK" ] || return 0
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    [ "$p" = "$$" ] && continue
    [ -n "$(proc_state "$p")" ] || continue
    if grep -qsF -- "$WORK" "/proc/$p/cmdline" "/proc/$p/environ"; then
      printf '%s\n' "$p"
    fi
  done
}

cleanup() {
  local rc=$? i p left
  set +e
  for ((i = ${#ZELP_PIDS[@]} - 1; i >= 0; i--)); do stop_pid "${ZELP_PIDS[i]}"; done
  left=$(leftover_pids)
  if [ -n "$left" ]; then
    log "FAIL: processes left behind:"
    for p in $left; do
      log "  $p: $(tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null)"
      kill -KILL "$p" 2>/dev/null
    done
    rc=1
  fi
  if [ -n "$WORK" ] && [ -d "$WORK" ]; then
    if [ "$rc" -ne 0 ] && [ -s "$WORK/log/error_log" ]; then
      log "--- the scheduler's errors (ZELP_KEEP_WORK=1 keeps the whole log):"
      grep "^E " "$WORK/log/error_log" | tail -n 20 >&2
    fi
    if { [ "$rc" -ne 0 ] && [ "${ZELP_KEEP_WORK:-0}" = 1 ]; } || [ "${ZELP_KEEP_WORK:-0}" = always ]; then
      log "work folder kept: $WORK"
    else
      rm -rf "$WORK"
    fi
  fi
  exit "$rc"
}

# Creates the work folder and arms the clean-up. The folder is open to all
# (0755): the scheduler runs filters and backends as its own user.
init_work() {
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/zelp-cups-$1.XXXXXX")
  chmod 0755 "$WORK"
  # lp and friends read lpoptions and client.conf from the home folder.
  export HOME=$WORK
  trap cleanup EXIT
  trap 'exit 130' INT TERM HUP
}

# Runs "$@" in the background and records its process id in BG_PID.
start_bg() {
  "$@" &
  BG_PID=$!
  ZELP_PIDS+=("$BG_PID")
}

# Waits up to $1 seconds for the command "${@:2}" to succeed.
wait_until() {
  local limit=$1 i
  shift
  for ((i = 0; i < limit * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# ---------------------------------------------------------------------------
# The filter folder that CUPS runs filters from.

# A ServerBin of our own: links to everything of the system's, with a filter
# folder holding links to the system's filters and a copy of ours. A copy,
# not a link: CUPS runs only filters that are owned by root (when it runs as
# root) and that group and others cannot write, and the build folder need
# not be either.
make_serverbin() {
  local dir=$1 entry
  mkdir -p "$dir/filter"
  chmod 0755 "$dir" "$dir/filter"
  for entry in "$CUPS_SYSTEM_SERVERBIN"/*; do
    [ "$(basename "$entry")" = filter ] && continue
    ln -s "$entry" "$dir/"
  done
  for entry in "$CUPS_SYSTEM_SERVERBIN"/filter/*; do
    ln -s "$entry" "$dir/filter/"
  done
  # Our filters: raster_to_ZELP, and image_to_ZELP built beside it.
  local program name
  for program in "$ZELP_FILTER" "$(dirname "$ZELP_FILTER")/image_to_ZELP"; do
    name=$(basename "$program")
    # A sanitizer build gets the leak suppression below through a wrapper:
    # cupsfilter hands filters a fixed environment. (grep without -q, so
    # that readelf does not die of SIGPIPE under pipefail.)
    if readelf -s --wide "$program" | grep ' __asan_init$' >/dev/null; then
      install -m 0755 "$program" "$dir/filter/$name.asan"
      printf '#!/bin/sh\nASAN_OPTIONS=fast_unwind_on_malloc=0 LSAN_OPTIONS=suppressions=%s exec %s "$@"\n' \
        "$WORK/lsan-libcups.supp" "$dir/filter/$name.asan" >"$dir/filter/$name"
      chmod 0755 "$dir/filter/$name"
    else
      install -m 0755 "$program" "$dir/filter/$name"
    fi
  done
}

# A DataDir of our own: the system's, with our PPDs under model/zelp/ as
# an install puts them, so the scheduler's driver list shows them.
make_datadir() {
  local dir=$1 entry
  mkdir -p "$dir/model/zelp"
  for entry in "$CUPS_SYSTEM_DATADIR"/*; do
    [ "$(basename "$entry")" = model ] && continue
    ln -s "$entry" "$dir/"
  done
  if [ -d "$CUPS_SYSTEM_DATADIR/model" ]; then
    for entry in "$CUPS_SYSTEM_DATADIR"/model/*; do
      [ -e "$entry" ] && ln -s "$entry" "$dir/model/"
    done
  fi
  install -m 0644 "${ZELP_PPDS[@]}" "$dir/model/zelp/"
  chmod 0755 "$dir" "$dir/model" "$dir/model/zelp"
}

# cups-files.conf for cupsfilter and cupsd: every folder inside $WORK.
write_cups_files_conf() {
  local file=$1
  mkdir -p "$WORK/root" "$WORK/spool" "$WORK/cache" "$WORK/state" "$WORK/log"
  {
    echo "ServerRoot $WORK/root"
    echo "RequestRoot $WORK/spool"
    echo "TempDir $WORK/spool/tmp"
    echo "CacheDir $WORK/cache"
    echo "StateDir $WORK/state"
    echo "ServerBin $WORK/serverbin"
    echo "DataDir $WORK/data"
    echo "ErrorLog $WORK/log/error_log"
    echo "AccessLog $WORK/log/access_log"
    echo "PageLog $WORK/log/page_log"
    echo "Printcap $WORK/printcap"
    echo "FileDevice No"
    # For a sanitizer build of the filter: libcups 2.4 leaks 16 bytes in
    # cupsMarkOptions (_ppdCacheCreateWithPPD) whenever a job carries IPP
    # options such as print-color-mode, which the scheduler always passes.
    # Full stacks are needed to tell that leak from one of ours.
    echo "SetEnv ASAN_OPTIONS fast_unwind_on_malloc=0"
    echo "SetEnv LSAN_OPTIONS suppressions=$WORK/lsan-libcups.supp"
    if [ "$(id -u)" -eq 0 ]; then
      echo "SystemGroup root"
    else
      # Not root: the scheduler and its children run as us.
      echo "User $(id -un)"
      echo "Group $(id -gn)"
      echo "SystemGroup $(id -gn)"
    fi
  } >"$file"
  echo "leak:_ppdCacheCreateWithPPD" >"$WORK/lsan-libcups.supp"
  mkdir -p "$WORK/spool/tmp"
  chmod 1777 "$WORK/spool/tmp"
}

# Sets up $WORK for CUPS: PPD list, ServerBin, DataDir, cups-files.conf.
setup_cups_tree() {
  shopt -s nullglob
  ZELP_PPDS=("$ZELP_PPD_DIR"/*.ppd)
  shopt -u nullglob
  [ "${#ZELP_PPDS[@]}" -eq "$(grep -c . "$ZELP_PPD_DIR/models.tsv")" ] ||
    fail "expected the PPD files of every model of models.tsv in $ZELP_PPD_DIR"
  make_serverbin "$WORK/serverbin"
  make_datadir "$WORK/data"
  CUPS_FILES_CONF="$WORK/cups-files.conf"
  write_cups_files_conf "$CUPS_FILES_CONF"
}

# cupsfilter through the whole chain of the PPD: run_cupsfilter PPD OUT
# INPUT [cupsfilter options...]. -e takes the filters from the PPD file.
run_cupsfilter() {
  local ppd=$1 out=$2 input=$3
  shift 3
  if ! cupsfilter -c "$CUPS_FILES_CONF" -p "$ppd" -e -m printer/zelp "$@" "$input" \
    >"$out" 2>"$out.log"; then
    tail -n 30 "$out.log" >&2
    fail "cupsfilter $* $(basename "$input") with $(basename "$ppd") failed"
  fi
}

# ---------------------------------------------------------------------------
# A private scheduler and a raw printer.

# Starts a raw printer on a port of its own; sets RAW_PORT, RAW_PID and
# RAW_DIR. start_rawprinter DIR [BYTES_PER_SECOND]
start_rawprinter() {
  RAW_DIR=$1
  mkdir -p "$RAW_DIR"
  local args=(--dir "$RAW_DIR" --port-file "$RAW_DIR/port")
  [ -z "${2:-}" ] || args+=(--rate "$2")
  start_bg "$ZELP_RAWPRINTER" "${args[@]}"
  RAW_PID=$BG_PID
  wait_until 10 test -s "$RAW_DIR/port" || fail "the raw printer did not start"
  RAW_PORT=$(cat "$RAW_DIR/port")
}

# Starts cupsd in the foreground (as a child of ours) on 127.0.0.1 only,
# with all its folders in $WORK. Sets CUPSD_PID and CUPS_HOST.
# start_cupsd [snmp]: with "snmp", CUPS's own SNMP default stays in force.
start_cupsd() {
  local attempt port i
  # A community without a name turns SNMP off: our raw printer has no
  # agent, and the socket backend would wait seconds for one at every job.
  [ "${1:-}" = snmp ] || echo "Community" >"$WORK/root/snmp.conf"
  for attempt in 1 2 3; do
    port=$("$ZELP_RAWPRINTER" --pick-port)
    CUPS_HOST="127.0.0.1:$port"
    cat >"$WORK/cupsd.conf" <<EOF
LogLevel debug
MaxLogSize 0
Listen 127.0.0.1:$port
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
DefaultPolicy zelp
PreserveJobHistory Yes
PreserveJobFiles No
MaxJobs 0
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy zelp>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    start_bg "$CUPSD" -f -c "$WORK/cupsd.conf" -s "$CUPS_FILES_CONF"
    CUPSD_PID=$BG_PID
    for ((i = 0; i < 200; i++)); do
      # A cupsd that could not take the port ends at once.
      [ -n "$(proc_state "$CUPSD_PID")" ] || break
      if lpstat -h "$CUPS_HOST" -r >/dev/null 2>&1; then
        export CUPS_SERVER=$CUPS_HOST
        return 0
      fi
      sleep 0.1
    done
    stop_pid "$CUPSD_PID"
    log "cupsd did not come up on $CUPS_HOST (attempt $attempt)"
  done
  fail "cupsd did not start"
}

# Runs a CUPS client command (lpadmin, lp) against our scheduler. On a busy
# machine a client has been seen to fail to connect to a scheduler that
# answers the next moment ("Unable to connect to server: Bad file
# descriptor"); only that failure is tried again, while our cupsd runs.
cups_client() {
  local attempt
  for attempt in 1 2 3; do
    "$@" 2>"$WORK/client.err" && return 0
    grep -q "Unable to connect to server" "$WORK/client.err" && [ -n "$(proc_state "$CUPSD_PID")" ] || break
    log "$1 could not connect to the scheduler (attempt $attempt): $(cat "$WORK/client.err")"
    sleep 1
  done
  cat "$WORK/client.err" >&2
  return 1
}

# Waits until the raw printer holds connection N in full; prints its path.
wait_for_job_bytes() {
  local n=$1 limit=${2:-90}
  wait_until "$limit" test -e "$RAW_DIR/job-$n.bin" ||
    fail "the printer did not receive job $n in full within $limit s"
  printf '%s\n' "$RAW_DIR/job-$n.bin"
}

# True once the scheduler lists job QUEUE-ID no longer among the jobs not
# completed (it is completed, cancelled or aborted).
job_done() {
  ! lpstat -h "$CUPS_HOST" -W not-completed -o "$1" 2>/dev/null |
    awk -v job="$1-$2" '$1 == job { found = 1 } END { exit !found }'
}

# Waits up to 60 s until job QUEUE-ID is finished; fails at once, with the
# scheduler's reasons, when the job was stopped by an error.
wait_job_finished() {
  local queue=$1 id=$2 i
  for ((i = 0; i < 600; i++)); do
    job_done "$queue" "$id" && return 0
    if grep -q "\[Job $id\] Job stopped" "$WORK/log/error_log" 2>/dev/null; then
      log "the scheduler's errors for job $id:"
      grep -E "^E .*\[Job $id\]|\[Job $id\] .*(Sanitizer|==[0-9]+==|#[0-9]+ 0x)" "$WORK/log/error_log" >&2 || true
      fail "job $queue-$id stopped with errors"
    fi
    sleep 0.1
  done
  fail "job $queue-$id did not finish within 60 s"
}

# ---------------------------------------------------------------------------
# What the printer bytes hold.

hex_of() { od -An -v -tx1 "$@" | tr -d ' \n'; }

# The option's default number in a PPD: atoi of the default choice keyword,
# -1 when the PPD has no such option.
ppd_default() {
  local value
  value=$(sed -n "s/^\*Default$2: *\([^ \r]*\).*/\1/p" "$1" | head -n 1)
  [ -n "$value" ] || { echo -1; return; }
  atoi "$value"
}

atoi() {
  if [[ $1 =~ ^([+-]?[0-9]+) ]]; then
    echo $((10#${BASH_REMATCH[1]#+} * 1))
  else
    echo 0
  fi
}

# Settings of a job: the PPD defaults with the job's NAME=VALUE options on
# top, for every option the tests' table of printer commands frames jobs
# with. load_settings PPD [NAME=VALUE...]; fills the array S.
mapfile -t ZELP_OPTIONS < <("$ZELP_WIRE" options) || true
[ "${#ZELP_OPTIONS[@]}" -gt 0 ] || { echo "FAIL: $ZELP_WIRE lists no options" >&2; exit 1; }
declare -A S
load_settings() {
  local ppd=$1 name pair
  shift
  for name in "${ZELP_OPTIONS[@]}"; do S[$name]=$(ppd_default "$ppd" "$name"); done
  for pair in "$@"; do
    name=${pair%%=*}
    [ -n "${S[$name]+set}" ] && S[$name]=$(atoi "${pair#*=}")
  done
  return 0
}

# The bytes before the first page's raster and after the last page's, for
# the settings in S, from the tests' table of printer commands.
wire_hex() {
  local point=$1 name args=()
  for name in "${ZELP_OPTIONS[@]}"; do args+=("$name=${S[$name]}"); done
  "$ZELP_WIRE" "$point" "${args[@]}"
}
expected_job_start() { wire_hex job-start; }
expected_page_start() { wire_hex page-start; }
expected_page_end() { wire_hex page-end; }
expected_job_end() { wire_hex job-end; }

# Decodes a printer stream with escpos-preview; fills the array SUMMARY
# from its --summary lines and sets FIRST_BAND and AFTER_LAST_BAND, the
# byte offsets where the raster begins and where it has ended.
decode_stream() {
  local file=$1 line key offset width rows
  "$ZELP_PREVIEW" --log --summary "$file" >"$file.decoded" 2>"$file.decode-err" ||
    fail "escpos-preview cannot decode $file: $(cat "$file.decode-err")"
  declare -gA SUMMARY=()
  FIRST_BAND=-1
  AFTER_LAST_BAND=-1
  while IFS= read -r line; do
    if [[ $line =~ ^([0-9]+)\ GS\ v\ 0\ m=[0-9]+\ width=([0-9]+)\ bytes\ rows=([0-9]+)$ ]]; then
      offset=$((10#${BASH_REMATCH[1]}))
      width=${BASH_REMATCH[2]}
      rows=${BASH_REMATCH[3]}
      ((FIRST_BAND >= 0)) || FIRST_BAND=$offset
      AFTER_LAST_BAND=$((offset + 8 + width * rows))
    elif [[ $line =~ ^([a-z_0-9]+):\ (.*)$ ]]; then
      key=${BASH_REMATCH[1]}
      SUMMARY[$key]=${BASH_REMATCH[2]}
    fi
  done <"$file.decoded"
  [ -n "${SUMMARY[bands]:-}" ] || fail "escpos-preview gave no summary for $file"
}

# The stream's bytes before the first band and after the last, as hex.
stream_head_hex() { head -c "$FIRST_BAND" "$1" | hex_of; }
stream_tail_hex() { tail -c +"$((AFTER_LAST_BAND + 1))" "$1" | hex_of; }

# Checks one decoded single-page stream against the settings in S: framing,
# band width, dot coverage. check_receipt FILE WIDTH_BYTES WHAT
check_receipt() {
  local file=$1 width=$2 what=$3 want got dots total
  decode_stream "$file"
  ((SUMMARY[bands] > 0)) || fail "$what: no raster band in the output"
  [ "${SUMMARY[band_width_bytes]}" = "$width" ] ||
    fail "$what: bands are ${SUMMARY[band_width_bytes]} bytes wide, expected $width"
  want="$(expected_job_start)$(expected_page_start)"
  got=$(stream_head_hex "$file")
  [ "$got" = "$want" ] || fail "$what: bytes before the first band are $got, expected $want"
  want="$(expected_page_end)$(expected_job_end)"
  got=$(stream_tail_hex "$file")
  [ "$got" = "$want" ] || fail "$what: bytes after the last band are $got, expected $want"
  dots=${SUMMARY[dots_set]}
  total=$((SUMMARY[dot_rows] * width * 8))
  # A mostly white page: some ink (not an empty page), far from all of it
  # (not an inverted page).
  ((dots * 1000 >= total)) ||
    fail "$what: only $dots of $total dots set: the page came out (nearly) empty"
  ((dots * 100 <= total * 30)) ||
    fail "$what: $dots of $total dots set: the page came out dark or inverted"
  log "ok: $what: ${SUMMARY[bands]} bands, ${SUMMARY[dot_rows]} dot rows," \
    "$((dots * 1000 / total))/1000 of the dots set"
}

# The shipped PPDs send compact transfer (Transfer 1): blank rows as
# feeds, bands only as wide as their ink. FILE is such a job, FULL the same
# job with Transfer=0, which check_receipt checks as it always has: FILE
# must draw the same paper, dot for dot, in no more bytes (a picture as
# wide as its page, without blank rows, has nothing to leave out).
# check_same_paper FILE FULL WIDTH_BYTES WHAT
check_same_paper() {
  local file=$1 full=$2 width=$3 what=$4 f
  for f in "$file" "$full"; do
    "$ZELP_PREVIEW" --head-dots $((width * 8)) -o "$f.png" "$f" >/dev/null 2>"$f.png-err" ||
      fail "$what: escpos-preview cannot draw $f: $(cat "$f.png-err")"
  done
  cmp -s "$file.png" "$full.png" || fail "$what: compact transfer draws other paper than Transfer=0"
  (($(stat -c %s "$file") <= $(stat -c %s "$full"))) ||
    fail "$what: compact transfer took $(stat -c %s "$file") bytes, Transfer=0 $(stat -c %s "$full")"
}

# The test page that CUPS ships.
cups_test_page() {
  local f
  for f in "$CUPS_SYSTEM_DATADIR/data/default-testpage.pdf" /usr/share/cups/data/default-testpage.pdf; do
    [ -r "$f" ] && { printf '%s\n' "$f"; return 0; }
  done
  fail "CUPS's test page default-testpage.pdf is missing (package cups-filters)"
}

# The model's band width in bytes: its head's dots, from the model list
# made with the PPDs.
ppd_width_bytes() {
  local name dots
  name=$(basename "$1")
  dots=$(awk -F '\t' -v ppd="$name" '$1 == ppd { print $3 }' "$ZELP_PPD_DIR/models.tsv")
  [ -n "$dots" ] || fail "$name is not in $ZELP_PPD_DIR/models.tsv"
  echo $((dots / 8))
}
