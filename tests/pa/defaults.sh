#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Printer defaults: set with "modify -o", they reach a job that gives none;
# a value that names no choice (in a job, set as a default, or written into
# the state file) prints as the default it replaces, with a warning in the
# log; printers and defaults are back after a restart; the configured print
# darkness reaches jobs.
source "$(dirname "$0")/common.sh"
init_work pa-defaults
start_pa
add_printer p80 zelp80
page_picture receipt 576 200 "$WORK/page.pgm"
"$ZELP_RASTERWRITE" --input "$WORK/page.pgm" -o "$WORK/page.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/page.ras" "$WORK/page.pwg"

expect_warning() {
  grep -q "^W .*$1" "$PA_DIR/log" || fail "no warning naming '$1' in the log"
}

expect_job_bytes() {
  local name=$1 want_options=$2 got
  shift 2
  got=$(print_job p80 "$WORK/page.pwg" image/pwg-raster "$name" "$@")
  filter_bytes "$ZELP_PPD_DIR/zelp80.ppd" "$WORK/page.ras" "$WORK/$name.filter" "$want_options"
  same_bytes "$got" "$WORK/$name.filter" "$name"
  log "ok: $name prints as the filter with '$want_options'"
}

# Defaults from the command line; zelp-logo-top=12 names no stored logo:
# modify refuses it, naming the choices, and changes nothing.
! pa modify -d p80 -o zelp-cutting=none -o zelp-logo-top=12 >"$WORK/modify.log" 2>&1 ||
  fail "modify took zelp-logo-top=12"
grep -q 'zelp-logo-top=12 is not offered; choose one of: 0, 1, 2' "$WORK/modify.log" ||
  fail "modify says: $(cat "$WORK/modify.log")"
pa modify -d p80 -o zelp-cutting=none -o zelp-feed-after-page=30 -o zelp-halftoning=threshold \
  >"$WORK/modify.log" 2>&1 || fail "modify: $(cat "$WORK/modify.log")"
# Another IPP client may still store it.
cat >"$WORK/logo.test" <<'EOF2'
{ OPERATION Set-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  GROUP printer-attributes-tag
  ATTR integer zelp-logo-top-default 12
  STATUS successful-ok }
EOF2
ipptool -T 10 "$(admin_uri p80)" "$WORK/logo.test" >"$WORK/logo.out" 2>&1 || fail "Set-Printer-Attributes: $(cat "$WORK/logo.out")"
expect_job_bytes no-options "Cutting=0 FeedDist=10 ImageAlgorithm=1 Logo=0"
expect_warning "Printer default zelp-logo-top-default=12 "

# A job's own values that name nothing: the printer's defaults print.
expect_job_bytes bad-job-values "Cutting=0 FeedDist=10 ImageAlgorithm=1 Logo=0" \
  zelp-feed-after-page=7 zelp-cutting=sideways zelp-beeper=-1
expect_warning "Job value zelp-feed-after-page=7 "
expect_warning "Job value zelp-cutting=sideways "
expect_warning "Job value zelp-beeper=-1 "
# ... while good ones win over the defaults.
expect_job_bytes good-job-values "Cutting=13 FeedDist=10 ImageAlgorithm=0 Logo=3" \
  zelp-cutting=page-end-full zelp-halftoning=error-diffusion zelp-logo-top=3

# Restart: printers and defaults come back from the state file, except
# values that name nothing, which are replaced by the built-in defaults,
# and options and media the driver does not offer, which are dropped.
stop_pa
grep -q '^zelp-cutting-default none' "$PA_DIR/state" || fail "the state file lacks zelp-cutting-default"
grep -q '^media-col-default .*name="om_receipt-3000mm_80x3000mm"' "$PA_DIR/state" ||
  fail "the state file lacks the default media: $(grep media-col "$PA_DIR/state")"
# As an older version, or a hand, might have left it.
sed -i -e 's/^zelp-feed-after-page-default .*/zelp-feed-after-page-default 11/' \
  -e 's/^zelp-beeper-default .*/zelp-beeper-default 12/' \
  -e 's/^zelp-cash-drawer-default .*/zelp-cash-drawer-default sideways/' \
  -e 's/^\(zelp-cutting-default .*\)$/\1\nzelp-paper-colour-default pink/' \
  -e 's/^\(media-col-[a-z0-9]* .*\)name="[^"]*"/\1name="na_letter_8.5x11in"/' "$PA_DIR/state"
: >"$PA_DIR/log"
start_pa
pa printers >"$WORK/printers.txt" 2>&1 || fail "printers: $(cat "$WORK/printers.txt")"
grep -qx p80 "$WORK/printers.txt" || fail "p80 is gone after the restart: $(cat "$WORK/printers.txt")"
for warned in zelp-feed-after-page-default zelp-beeper-default zelp-cash-drawer-default zelp-logo-top-default; do
  expect_warning "Stored default $warned="
done
expect_warning "Stored zelp-paper-colour-default is no option"
expect_warning "Stored media-col-default na_letter_8.5x11in is not offered"
! grep -q 'na_letter\|paper-colour' "$PA_DIR/state" || fail "the mended state file still holds the bad lines"
attribute_values p80 zelp-cutting-default zelp-feed-after-page-default zelp-beeper-default \
  zelp-cash-drawer-default zelp-halftoning-default zelp-logo-top-default >"$WORK/defaults.txt"
attributes_test "$WORK/media.test" media-default,media-ready \
  'EXPECT media-default WITH-VALUE "om_receipt-3000mm_80x3000mm"' \
  'EXPECT media-ready WITH-VALUE "om_receipt-3000mm_80x3000mm"'
ipptool -t "$(printer_uri p80)" "$WORK/media.test" >"$WORK/media.out" 2>&1 ||
  fail "the stale media came back: $(grep -E 'EXPECTED|GOT' "$WORK/media.out")"
for want in zelp-cutting-default=none zelp-halftoning-default=threshold zelp-feed-after-page-default=3 \
  zelp-beeper-default=0 zelp-cash-drawer-default=none zelp-logo-top-default=0; do
  grep -qx "$want" "$WORK/defaults.txt" || fail "after the restart, expected $want; got: $(tr '\n' ' ' <"$WORK/defaults.txt")"
done
expect_job_bytes after-restart "Cutting=0 ImageAlgorithm=1"
# Darkness is PAPPL's: the configured darkness (75 of 100) prints as the
# choice nearest it, and a job's print-darkness moves it (75 - 50).
pa modify -d p80 -o printer-darkness-configured=75 >"$WORK/modify.log" 2>&1 || fail "modify: $(cat "$WORK/modify.log")"
expect_job_bytes darkness-configured "Cutting=0 ImageAlgorithm=1 Darkness=3"
expect_job_bytes darkness-of-job "Cutting=0 ImageAlgorithm=1 Darkness=2" print-darkness=-50
pa_alive || fail "the Printer Application died"
stop_pa
log "PASS: defaults reach jobs, bad values are replaced with warnings, state survives a restart"
