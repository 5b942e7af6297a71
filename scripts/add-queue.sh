#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Adds a CUPS queue for a ZELP receipt printer, set up for receipts:
#
#   scripts/add-queue.sh QUEUE DEVICE-URI [MODEL]
#   scripts/add-queue.sh --options      # the queue defaults it sets, one a line
#
# DEVICE-URI as `lpinfo -v` shows it (usb://...), or socket://HOST[:PORT]
# for a network printer. MODEL names the model's PPD file as installed,
# without .ppd (`lpinfo -m | grep zelp` lists them: zelp80, zelp58,
# zelp8064, ...); a bare number N stands for zelpN (80, 58, 8064); zelp80
# when left out.
# Runs lpadmin against the scheduler that CUPS_SERVER or client.conf names
# (the local one unless set); needs the rights lpadmin needs (root, or a
# member of the lpadmin group). The PPD is the one that scheduler lists for
# the model (lpinfo -m): lsb/usr/zelp/zelp80.ppd from the Debian package,
# zelp/zelp80.ppd from CUPS's own model folder; when both are there, the
# one in CUPS's own folder.
#
# What it sets, beyond the PPD:
# - Queue defaults for CUPS's own text and picture filters, which read these
#   from the job's options only, never from the PPD: plain text at 17
#   characters and 8 lines per inch (48 columns on 80 mm paper, 32 on 58 mm
#   paper, where CUPS's office default of 10 gives 28 and 18), and pictures
#   at 203 pixels per inch, one picture pixel per printer dot (CUPS would
#   otherwise turn and enlarge a logo to fill the page).
# - For socket:// printers, snmp=false in the address: the socket backend
#   otherwise asks the printer for its state by SNMP before every job and
#   waits seconds for an answer that a receipt printer without an SNMP
#   agent never gives.
# - printer-error-policy=stop-printer: a receipt whose printer went away
#   in the middle is kept, whole, at the head of the queue, and the queue
#   stops with the reason, until the shop resumes it (cupsenable); it is
#   never re-sent in fragments on a timer (retry-job) nor dropped
#   (abort-job).
set -euo pipefail

defaults=(cpi-default=17 lpi-default=8 ppi-default=203)

usage() {
  echo "usage: $0 QUEUE DEVICE-URI [MODEL]   (MODEL: zelp80, zelp58, ... as 'lpinfo -m | grep zelp' lists them)" >&2
  echo "       $0 --options" >&2
  exit 2
}

if [ "${1:-}" = --options ]; then
  # As job options: the names without -default.
  printf '%s\n' "${defaults[@]/-default=/=}"
  exit 0
fi
[ "$#" -ge 2 ] && [ "$#" -le 3 ] || usage
queue=$1 uri=$2 model=${3:-zelp80}
[[ $model =~ ^[0-9]+$ ]] && model=zelp$model
[[ $model =~ ^[A-Za-z0-9_-]+$ ]] || usage

# CUPS wants a path before the options: socket://HOST:PORT/?snmp=false.
case $uri in
  socket://*snmp=*) ;;
  socket://*\?*) uri="$uri&snmp=false" ;;
  socket://*/*) uri="$uri?snmp=false" ;;
  socket://*) uri="$uri/?snmp=false" ;;
esac

# The scheduler's name for the model's PPD: where it is installed decides.
if ! models=$(lpinfo -m 2>&1); then
  echo "$0: lpinfo -m failed: $models" >&2
  exit 1
fi
ppds=$(awk -v file="$model.ppd" '$1 == file || substr($1, length($1) - length(file)) == "/" file { print $1 }' <<<"$models")
if [ -z "$ppds" ]; then
  echo "$0: CUPS lists no $model.ppd (lpinfo -m): install the driver first" >&2
  exit 1
fi
ppd=$(grep -v '^lsb/' <<<"$ppds" | head -n 1 || true)
[ -n "$ppd" ] || ppd=$(head -n 1 <<<"$ppds")
if [ "$(grep -c '' <<<"$ppds")" -gt 1 ]; then
  echo "$0: CUPS lists $model.ppd more than once ($(echo $ppds)); using $ppd" >&2
fi

opts=()
for d in "${defaults[@]}"; do opts+=(-o "$d"); done
lpadmin -p "$queue" -E -v "$uri" -m "$ppd" -o printer-error-policy=stop-printer "${opts[@]}"
echo "queue $queue: $uri, $ppd, printer-error-policy=stop-printer, ${defaults[*]}"
