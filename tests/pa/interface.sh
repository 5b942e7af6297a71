#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# What clients see of the server: IPP conformance (ipptool's own tests),
# the printer options by name, driver matching by device ID, the printer
# actions (identify beeps, the test page prints a receipt) and the web
# pages with the option labels, after which the server still runs.
source "$(dirname "$0")/common.sh"
init_work pa-interface
start_pa
add_model_printers
IPPTOOL_DIR=$(dirname "$(find /usr/share/cups/ipptool -name ipp-everywhere.test | head -n 1)")
[ -f "$IPPTOOL_DIR/ipp-2.0.test" ] || fail "ipptool's test files are missing (package cups-ipp-utils)"

page_picture receipt 300 120 "$WORK/doc.pgm"
pnmtopng "$WORK/doc.pgm" >"$WORK/doc.png" 2>/dev/null

# printer-up-time must be above 0 for ipp-2.0.test: a second after start.
attributes_test "$WORK/uptime.test" printer-up-time 'EXPECT printer-up-time WITH-VALUE ">0"'
wait_until 10 ipptool -q "$(printer_uri p80)" "$WORK/uptime.test" || fail "printer-up-time stays 0"

for printer in "${PA_PRINTERS[@]}"; do
  for test in get-printer-attributes.test ipp-2.0.test; do
    ipptool -V 2.0 -t -f "$WORK/doc.png" "$(printer_uri "$printer")" "$IPPTOOL_DIR/$test" >"$WORK/$printer-$test.out" 2>&1 ||
      fail "$printer: $test fails: $(grep -A6 'FAIL\]' "$WORK/$printer-$test.out" | head -n 20)"
  done
  ipptool -t "$(printer_uri "$printer")" "$ZELP_ATTRIBUTES_TEST" >"$WORK/$printer-zelp.out" 2>&1 ||
    fail "$printer: zelp-attributes.test fails: $(grep -E 'EXPECTED|GOT' "$WORK/$printer-zelp.out" | head -n 10)"
done
log "ok: get-printer-attributes.test, ipp-2.0.test and zelp-attributes.test pass on ${PA_PRINTERS[*]}"

# ipp-everywhere.test: only what PAPPL 1.3.1 itself lacks may fail: page
# overrides and supply levels.
out=$WORK/everywhere.out
ipptool -V 2.0 -t -f "$WORK/doc.png" "$(printer_uri p80)" "$IPPTOOL_DIR/ipp-everywhere.test" >"$out" 2>&1 || true
failed=$(grep -c 'FAIL\]' "$out" || true)
grep -q 'PASS\]' "$out" || fail "ipp-everywhere.test ran nothing: $(tail -n 5 "$out")"
if ((failed > 0)); then
  [ "$failed" = 1 ] && grep -q 'PWG 5100.14 section 5.1/5.2 - Required Operations and Attributes .*FAIL\]' "$out" ||
    fail "ipp-everywhere.test: $(grep 'FAIL\]' "$out")"
  unexpected=$(awk '/FAIL\]/ { on = 1; next } /(PASS|SKIP|FAIL)\]/ { on = 0 } on && /EXPECTED:/' "$out" |
    grep -v -E 'EXPECTED: (overrides-supported|printer-supply|printer-supply-description)$' || true)
  [ -z "$unexpected" ] || fail "ipp-everywhere.test expects more than PAPPL lacks: $unexpected"
fi
log "ok: ipp-everywhere.test passes but for overrides-supported and printer-supply (PAPPL 1.3.1)"

# Drivers for a device ID: our maker, ESC/POS among the command sets, and a
# model we know.
pa drivers >"$WORK/drivers.txt" 2>&1 || fail "drivers: $(cat "$WORK/drivers.txt")"
grep -q '^zelp80 .*"MFG:ZELP;MDL:80mm Receipt Printer;CMD:ESC/POS;"$' "$WORK/drivers.txt" ||
  fail "drivers lists: $(cat "$WORK/drivers.txt")"
for driver in "${PA_DRIVERS[@]}"; do
  grep -q "^$driver .*CMD:ESC/POS" "$WORK/drivers.txt" || fail "drivers lacks $driver: $(cat "$WORK/drivers.txt")"
done
while IFS='|' read -r device_id want; do
  got=$(pa drivers -o "device-id='$device_id'" 2>&1 | awk '{ print $1 }' | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "drivers for '$device_id': '$got', expected '$want'"
done <<'EOF'
MFG:ZELP;MDL:80mm Receipt Printer;CMD:ESC/POS;|zelp80 
MANUFACTURER:zelp;MODEL:TP-58 Plus;COMMAND SET:PCL, ESC/POS;|zelp58 
MFG:ZELP;MDL:80mm Receipt Printer 512;CMD:ESC/POS;|zelp8064 
MFG:ZELP;MDL:TM-80 512 dots;CMD:ESC/POS;|zelp8064 
MFG:ZELP;MDL:80mm Receipt Printer;CMD:ESC/POSX;|
MFG:Other;MDL:80mm Receipt Printer;CMD:ESC/POS;|
MFG:ZELP;MDL:Label Printer;CMD:ESC/POS;|
EOF
log "ok: drivers by device ID"

# The web pages, the printer actions through them, the options page.
session=$(curl -sf "http://localhost:$PA_PORT/p80/" | sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' | head -n 1)
[ -n "$session" ] || fail "the printer page has no form"
curl -sf -o /dev/null -d "session=$session&action=identify-printer" "http://localhost:$PA_PORT/p80/" ||
  fail "identify from the web page"
wait_until 10 test -s "$WORK/out/p80/printer.prn" || fail "identify sent nothing to the printer"
[ "$(hex_of "$WORK/out/p80/printer.prn")" = 1b420201 ] || fail "identify sent $(hex_of "$WORK/out/p80/printer.prn"), not the beeper"
# The test page's and the wide picture's bands are checked as wide as the
# head: every dot row in full. Compact transfer, the default, is the
# filter's bytes (same_bytes.sh).
pa modify -d p80 -o zelp-transfer=full >"$WORK/modify.log" 2>&1 || fail "modify: $(cat "$WORK/modify.log")"
curl -sf -o /dev/null -d "session=$session&action=print-test-page" "http://localhost:$PA_PORT/p80/" ||
  fail "test page from the web page"
wait_until 30 test -s "$WORK/out/p80/Test Page.prn" || fail "the test page printed nothing"
wait_until 30 pa jobs -d p80 | grep -q 'completed .*Test Page' || true
load_settings "$ZELP_PPD_DIR/zelp80.ppd"
check_receipt "$WORK/out/p80/Test Page.prn" 72 "test page"

# A picture wider than the head is scaled down to it: 1152 x 200 pixels
# print as 576 x 100 dots.
"$ZELP_RASTERWRITE" --pattern noise --width 1152 --height 200 -o "$WORK/wide.ras" --picture-out "$WORK/wide.pgm" >/dev/null
pnmtopng "$WORK/wide.pgm" >"$WORK/wide.png" 2>/dev/null
wide=$(print_job p80 "$WORK/wide.png" image/png wide-picture)
decode_stream "$wide"
[ "${SUMMARY[band_width_bytes]}/${SUMMARY[dot_rows]}" = 72/100 ] ||
  fail "the wide picture printed ${SUMMARY[band_width_bytes]} bytes x ${SUMMARY[dot_rows]} rows, not 72 x 100"

page=$(curl -sf "http://localhost:$PA_PORT/p80/receipt") || fail "no Receipt Options page"
for label in "Cutting:" "Feed After Page:" "Black Mark Distance:" "Blank Space at Page Start:" \
  "Feed 4 lines and full cut after every page" "150 units"; do
  grep -qF "$label" <<<"$page" || fail "the Receipt Options page lacks '$label'"
done
for path in / /p80/ /p80/printing /p58/receipt; do
  curl -sf -o /dev/null "http://localhost:$PA_PORT$path" || fail "GET $path fails"
done
grep -qF 'href="/p80/receipt"' <<<"$(curl -sf "http://localhost:$PA_PORT/p80/")" || fail "no link to Receipt Options"
answer=$(curl -sf -d "session=$session&zelp-beeper=2&zelp-cutting=job-end-full" "http://localhost:$PA_PORT/p80/receipt")
grep -q 'Changes saved' <<<"$answer" || fail "saving defaults from the web page failed"
answer=$(curl -sf -d "session=$session&zelp-beeper=11" "http://localhost:$PA_PORT/p80/receipt")
grep -q 'Refused' <<<"$answer" || fail "the web page took zelp-beeper=11"
attribute_values p80 zelp-beeper-default zelp-cutting-default >"$WORK/web-defaults.txt"
grep -qx zelp-beeper-default=2 "$WORK/web-defaults.txt" && grep -qx zelp-cutting-default=job-end-full "$WORK/web-defaults.txt" ||
  fail "the web page's values are not the defaults: $(tr '\n' ' ' <"$WORK/web-defaults.txt")"
pa_alive || fail "the web pages brought the server down"
stop_pa
log "PASS: conformance, options by name, drivers, identify, test page and web pages"
