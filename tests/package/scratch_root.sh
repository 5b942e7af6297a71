#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# The Debian packages as a user meets them, in a scratch root: this
# machine's own file system under an overlay whose changes live in memory,
# in a mount namespace of its own, so that installing, printing and purging
# leave the machine as it was. Needs root, and the packages' dependencies
# and CUPS installed on the machine (scripts/install-deps.sh test).
#
#   tests/package/scratch_root.sh PACKAGE_DIR NATIVE_BUILD
#
# PACKAGE_DIR holds printer-driver-zelp_*.deb and zelp-printer-app_*.deb;
# NATIVE_BUILD a build folder with the test tools (zelp-rawprinter,
# zelp-rasterinfo, zelp-wire). In the scratch root:
#  1. a filter installed by hand stops the driver package, and is kept;
#  2. both packages install; the unit is enabled; systemd-analyze verify
#     passes;
#  3. a private scheduler (cupsd on 127.0.0.1, the installed filter and PPD
#     folders) lists the driver with lpinfo -m; queues made from those
#     entries (lpadmin -m, and scripts/add-queue.sh) print CUPS's test page to a raw printer on 127.0.0.1, and the
#     installed escpos-preview reads a receipt in the bytes; the Printer
#     Application, started as its unit says, prints a picture there too;
#  4. removal takes the programs, purging everything else: no file of the
#     packages is left but dpkg's own records.
set -euo pipefail

if [ "${1:-}" = --in-root ]; then
  # --- inside the scratch root -----------------------------------------
  shift
  packages=$1 native=$2 work_parent=$3
  export ZELP_FILTER=/usr/lib/cups/filter/raster_to_ZELP
  export ZELP_PREVIEW=/usr/bin/escpos-preview
  export ZELP_RAWPRINTER=$native/tests/cups/zelp-rawprinter
  export ZELP_RASTERINFO=$native/tests/cups/zelp-rasterinfo
  export ZELP_WIRE=$native/tests/support/zelp-wire
  # The build's PPD folder only for its list of models (models.tsv).
  export ZELP_PPD_DIR=$native/ppd
  ppds=/usr/share/ppd/zelp
  export TMPDIR=$work_parent
  # shellcheck source=../cups/common.sh
  . "$(dirname "$0")/../cups/common.sh"
  init_work package
  driver_deb=$(ls "$packages"/printer-driver-zelp_*.deb)
  app_deb=$(ls "$packages"/zelp-printer-app_*.deb)
  export DEBIAN_FRONTEND=noninteractive
  # Packages the machine may have installed are gone in here.
  dpkg -P zelp-printer-app printer-driver-zelp >/dev/null 2>&1 || true

  # 1. A filter installed by hand is in the way: nothing is installed, the
  # file stays, and the message names it.
  echo "a filter installed by hand" >/usr/lib/cups/filter/raster_to_ZELP
  if dpkg -i "$driver_deb" >"$WORK/refused.log" 2>&1; then
    fail "dpkg -i overwrote a filter installed by hand"
  fi
  grep -q "installed by hand" "$WORK/refused.log" || fail "no message about the hand-installed filter: $(cat "$WORK/refused.log")"
  [ "$(cat /usr/lib/cups/filter/raster_to_ZELP)" = "a filter installed by hand" ] ||
    fail "the hand-installed filter was changed"
  dpkg -P printer-driver-zelp >/dev/null 2>&1 || true
  rm /usr/lib/cups/filter/raster_to_ZELP
  log "ok: a filter installed by hand stops the package and is kept"

  # 2. Install.
  dpkg -i "$driver_deb" "$app_deb" >"$WORK/install.log" 2>&1 || fail "dpkg -i failed: $(tail -n 20 "$WORK/install.log")"
  for f in "$ZELP_FILTER" "$ZELP_PREVIEW" "$ppds"/zelp80.ppd "$ppds"/zelp58.ppd \
    /usr/share/cups/ppd-updaters/printer-driver-zelp.ppd-updater /usr/sbin/zelp-printer-app \
    /lib/systemd/system/zelp-printer-app.service; do
    [ -e "$f" ] || fail "$f was not installed"
  done
  [ "$(stat -c %a "$ZELP_FILTER")" = 755 ] || fail "the filter has mode $(stat -c %a "$ZELP_FILTER")"
  [ -L /etc/systemd/system/multi-user.target.wants/zelp-printer-app.service ] ||
    fail "the unit was not enabled"
  for page in escpos-preview raster_to_ZELP zelp-printer-app; do
    man -w "$page" >/dev/null 2>&1 || fail "no manual page for $page"
  done
  systemd-analyze verify /lib/systemd/system/zelp-printer-app.service >"$WORK/verify.log" 2>&1 ||
    fail "systemd-analyze verify: $(cat "$WORK/verify.log")"
  log "ok: installed; unit enabled and verified; manual pages found"

  # 3. The scheduler lists the driver; queues from its entries print
  # CUPS's test page. ServerBin and DataDir are the installed ones.
  ln -s /usr/lib/cups "$WORK/serverbin"
  ln -s /usr/share/cups "$WORK/data"
  CUPS_FILES_CONF=$WORK/cups-files.conf
  write_cups_files_conf "$CUPS_FILES_CONF"
  start_rawprinter "$WORK/printer"
  start_cupsd
  lpinfo -h "$CUPS_HOST" -m >"$WORK/models" 2>&1 || fail "lpinfo -m failed: $(cat "$WORK/models")"
  grep -i zelp "$WORK/models" >&2 || fail "lpinfo -m does not list the driver"
  page=$(cups_test_page)
  job=0
  declare -A test_page
  for model in 80 58; do
    entry=$(awk -v m="zelp$model.ppd" '$1 ~ ("/" m "$") { print $1 }' "$WORK/models")
    [ "$entry" = "lsb/usr/zelp/zelp$model.ppd" ] || fail "lpinfo -m lists zelp$model.ppd as '$entry'"
    if [ "$model" = 80 ]; then
      cups_client lpadmin -h "$CUPS_HOST" -p "zelp$model" -E -v "socket://127.0.0.1:$RAW_PORT" -m "$entry" ||
        fail "lpadmin -m $entry failed"
    else
      # The README's way, which asks lpinfo -m too.
      cups_client "$(dirname "$0")/../../scripts/add-queue.sh" "zelp$model" "socket://127.0.0.1:$RAW_PORT" "$model" >&2 ||
        fail "add-queue.sh failed"
    fi
    # The raw printer never answers status requests: the bytes are compared
    # as a printer never asked gets them.
    cups_client lpadmin -h "$CUPS_HOST" -p "zelp$model" -o ReadStatus=0 || fail "lpadmin -o ReadStatus=0 failed"
    # As the queue's defaults print it (compact transfer), and with every
    # dot row sent in full, whose framing and band width check_receipt knows.
    for transfer in "" Transfer=0; do
      id=$(cups_client lp -h "$CUPS_HOST" -d "zelp$model" ${transfer:+-o "$transfer"} "$page" |
        sed -n 's/^request id is [^-]*-\([0-9]*\).*/\1/p')
      [ -n "$id" ] || fail "lp did not take the test page"
      wait_job_finished "zelp$model" "$id"
      job=$((job + 1))
      test_page[${transfer:-default}]=$(wait_for_job_bytes "$job")
    done
    load_settings "$ppds/zelp$model.ppd"
    check_receipt "${test_page[Transfer=0]}" "$(ppd_width_bytes "$ppds/zelp$model.ppd")" "CUPS's test page through $entry"
    check_same_paper "${test_page[default]}" "${test_page[Transfer=0]}" "$(ppd_width_bytes "$ppds/zelp$model.ppd")" \
      "CUPS's test page through $entry"
  done
  stop_pid "$CUPSD_PID"

  # The Printer Application started as its unit starts it (on a free
  # loopback port instead of 8631), in the folders systemd would make for
  # it: it takes a printer on the raw printer and prints a picture.
  execstart=$(sed -n 's/^ExecStart=//p' /lib/systemd/system/zelp-printer-app.service)
  read -ra server <<<"$execstart"
  mkdir -p /var/lib/zelp-printer-app /var/log/zelp-printer-app
  pa_port=$("$ZELP_RAWPRINTER" --pick-port)
  start_bg "${server[@]}" -o server-port="$pa_port" -o listen-hostname=localhost
  pa_pid=$BG_PID
  wait_until 20 curl -sf -o /dev/null "http://localhost:$pa_port/" ||
    fail "the Printer Application does not answer: $(tail -n 5 /var/log/zelp-printer-app/zelp-printer-app.log)"
  # On the raw printer only once it is never asked for its status (each
  # query would be a connection of its own).
  # A folder first (the device a file URI names must exist), the raw
  # printer once status reading is off.
  mkdir -p "$WORK/counter-out"
  zelp-printer-app add -d counter -m zelp80 -v "file://$WORK/counter-out" >"$WORK/pa-add.log" 2>&1 &&
    zelp-printer-app modify -d counter -o zelp-read-status=off >>"$WORK/pa-add.log" 2>&1 &&
    zelp-printer-app modify -d counter -v "socket://127.0.0.1:$RAW_PORT" >>"$WORK/pa-add.log" 2>&1 ||
    fail "zelp-printer-app add failed: $(cat "$WORK/pa-add.log")"
  pgmramp -lr 400 120 | pnmtopng >"$WORK/ramp.png"
  zelp-printer-app submit -d counter "$WORK/ramp.png" >"$WORK/pa-submit.log" 2>&1 ||
    fail "zelp-printer-app submit failed: $(cat "$WORK/pa-submit.log")"
  job=$((job + 1))
  bytes=$(wait_for_job_bytes "$job")
  decode_stream "$bytes"
  ((SUMMARY[bands] > 0)) || fail "the Printer Application's job has no raster"
  log "ok: the Printer Application as its unit starts it printed ${SUMMARY[bands]} bands"
  # As systemctl stop does: SIGTERM, then the unit's ExecStopPost.
  kill -TERM "$pa_pid"
  wait_until 10 test -z "$(proc_state "$pa_pid")" || fail "the Printer Application did not stop on SIGTERM"
  stop_pid "$pa_pid"
  read -ra stop_post <<<"$(sed -n 's/^ExecStopPost=//p' /lib/systemd/system/zelp-printer-app.service)"
  [ "${#stop_post[@]}" -eq 0 ] || "${stop_post[@]}"
  [ -s /var/lib/zelp-printer-app/zelp-printer-app.state ] || fail "the Printer Application kept no state"
  stop_pid "$RAW_PID"

  # 4. Remove, then purge.
  dpkg -r zelp-printer-app printer-driver-zelp >"$WORK/remove.log" 2>&1 || fail "dpkg -r failed: $(cat "$WORK/remove.log")"
  for f in "$ZELP_FILTER" "$ZELP_PREVIEW" "$ppds" /usr/sbin/zelp-printer-app \
    /lib/systemd/system/zelp-printer-app.service; do
    [ ! -e "$f" ] || fail "$f is still there after dpkg -r"
  done
  dpkg -P zelp-printer-app printer-driver-zelp >"$WORK/purge.log" 2>&1 || fail "dpkg -P failed: $(cat "$WORK/purge.log")"
  for f in /var/lib/zelp-printer-app /var/log/zelp-printer-app \
    /etc/systemd/system/multi-user.target.wants/zelp-printer-app.service; do
    [ ! -e "$f" ] && [ ! -L "$f" ] || fail "$f is still there after dpkg -P"
  done
  log "ok: removed and purged"
  exit 0
fi

# --- on the machine: the scratch root ------------------------------------
[ "$#" -eq 2 ] || { echo "usage: $0 PACKAGE_DIR NATIVE_BUILD" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "FAIL: the scratch root needs root (mount namespaces, overlayfs)" >&2; exit 1; }
packages=$(cd "$1" && pwd) native=$(cd "$2" && pwd)
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

if [ -z "${ZELP_SCRATCH:-}" ]; then
  # The mount point outlives the namespace: made here, removed here.
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/zelp-scratch-root.XXXXXX")
  status=0
  ZELP_SCRATCH=$scratch unshare --mount --propagation private bash "$self" "$packages" "$native" || status=$?
  rmdir "$scratch"
  exit "$status"
fi

# In a mount namespace of our own: whatever is mounted goes with it.
scratch=$ZELP_SCRATCH
mount -t tmpfs -o size=2g tmpfs "$scratch"
mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" "$scratch/root"
mount -t proc proc "$scratch/root/proc"
mount --rbind /dev "$scratch/root/dev"
mount --rbind /sys "$scratch/root/sys"
# The work folder of the test, and the scheduler's temporary files.
mkdir -p "$scratch/root/tmp/zelp-package-test"
chroot "$scratch/root" /bin/bash "$self" --in-root "$packages" "$native" /tmp/zelp-package-test

# What the whole round left in the root: nothing of the packages but
# dpkg's records of them (and the logs of dpkg, man's cache of the pages
# that systemd-analyze looked up, and the test's folder).
left=$(cd "$scratch/upper" && find . -iname '*zelp*' |
  grep -vE '^\./(var/lib/dpkg/|var/log/|var/cache/man/|tmp/zelp-package-test)' || true)
[ -z "$left" ] || { echo "FAIL: left after purging:" >&2; echo "$left" >&2; exit 1; }
echo "ok: nothing of the packages is left after purging"
