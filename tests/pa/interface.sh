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
web_form /p80/ action=identify-printer >/dev/null || fail "identify from the web page"
wait_until 10 test -s "$WORK/out/p80/printer.prn" || fail "identify sent nothing to the printer"
[ "$(hex_of "$WORK/out/p80/printer.prn")" = 1b420201 ] || fail "identify sent $(hex_of "$WORK/out/p80/printer.prn"), not the beeper"
# The test page's and the wide picture's bands are checked as wide as the
# head: every dot row in full. Compact transfer, the default, is the
# filter's bytes (same_bytes.sh).
pa modify -d p80 -o zelp-transfer=full >"$WORK/modify.log" 2>&1 || fail "modify: $(cat "$WORK/modify.log")"
web_form /p80/ action=print-test-page >/dev/null || fail "test page from the web page"
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

page=$(curl -sf -u "$PA_ADMIN" "http://localhost:$PA_PORT/p80/receipt") || fail "no Receipt Options page"
for label in "Cutting:" "Feed After Page:" "Black Mark Distance:" "Blank Space at Page Start:" \
  "Feed 4 lines and full cut after every page" "150 units"; do
  grep -qF "$label" <<<"$page" || fail "the Receipt Options page lacks '$label'"
done
for path in / /p80/ /p80/printing /p58/receipt; do
  curl -sf -o /dev/null -u "$PA_ADMIN" "http://localhost:$PA_PORT$path" || fail "GET $path fails"
done
grep -qF 'href="/p80/receipt"' <<<"$(curl -sf "http://localhost:$PA_PORT/p80/")" || fail "no link to Receipt Options"
answer=$(web_form /p80/receipt zelp-beeper=2 zelp-cutting=job-end-full)
grep -q 'Changes saved' <<<"$answer" || fail "saving defaults from the web page failed"
answer=$(web_form /p80/receipt zelp-beeper=11)
grep -q 'Refused' <<<"$answer" || fail "the web page took zelp-beeper=11"
attribute_values p80 zelp-beeper-default zelp-cutting-default >"$WORK/web-defaults.txt"
grep -qx zelp-beeper-default=2 "$WORK/web-defaults.txt" && grep -qx zelp-cutting-default=job-end-full "$WORK/web-defaults.txt" ||
  fail "the web page's values are not the defaults: $(tr '\n' ' ' <"$WORK/web-defaults.txt")"
pa_alive || fail "the web pages brought the server down"

# Without avahi-daemon (as here): no page or form of the web interface,
# with or without a session, and no sub-command takes the server down;
# what needs DNS-SD says so.
if [ -S /run/avahi-daemon/socket ]; then
  log "SKIP (avahi absent): avahi-daemon runs on this machine"
else
  pages=(/ /addprinter /config /security /logs /logfile.txt /p80/ /p80/config /p80/delete /p80/jobs /p80/media
    /p80/printing /p80/receipt /p80/cancelall /nothing)
  for path in "${pages[@]}"; do
    for who in "" "-u $PA_ADMIN"; do
      # shellcheck disable=SC2086
      curl -s -o /dev/null --max-time 30 $who "http://localhost:$PA_PORT$path" || true
      # shellcheck disable=SC2086
      curl -s -o /dev/null --max-time 30 $who --data "session=x&action=nothing" "http://localhost:$PA_PORT$path" || true
    done
    # With the page's own session and token, as the administrator.
    token=$(curl -s -c "$WORK/jar" -b "$WORK/jar" -u "$PA_ADMIN" "http://localhost:$PA_PORT$path" |
      sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' | head -n 1)
    [ "$path" = /p80/delete ] || [ -z "$token" ] ||
      curl -s -o /dev/null -b "$WORK/jar" -u "$PA_ADMIN" --data "session=$token&action=nothing" "http://localhost:$PA_PORT$path" ||
      true
    pa_alive || fail "GET or POST $path brought the server down: $(tail -n 3 "$PA_DIR/stderr")"
  done
  web_form /addprinter printer_name=added device_uri=socket hostname=127.0.0.1 driver_name=zelp58 >"$WORK/added.html" ||
    fail "Add Printer without avahi"
  pa printers | grep -qx added || fail "Add Printer without avahi added nothing"
  pa devices >"$WORK/devices.txt" 2>&1 || fail "devices without avahi: $(cat "$WORK/devices.txt")"
  grep -q 'DNS-SD needs avahi-daemon' "$WORK/devices.txt" || fail "devices does not say DNS-SD is missing"
  for args in "drivers" "printers" "jobs -d p80" "status" "options -d p80" "autoadd" "default"; do
    # shellcheck disable=SC2086
    pa $args >/dev/null 2>&1 || true
    pa_alive || fail "'$args' brought the server down"
  done
  pa delete -d added >/dev/null || fail "delete -d added"
  ! pa printers | grep -qx added || fail "delete -d left the printer"
  log "ok: every page and form, with and without a session, and the sub-commands without avahi; devices says why"
fi

# Sub-commands: documents the printers cannot print are refused before a
# job exists, -n asks for copies, modify takes only offered values and
# moves a printer to a new address.
printf '%%PDF-1.4\n' >"$WORK/doc.pdf"
echo "a receipt in plain text" >"$WORK/doc.txt"
printf '\377\330\377\340broken' >"$WORK/broken.jpg"
jobs_before=$(pa jobs -d p58 | wc -l)
while IFS='|' read -r file says; do
  ! pa submit -d p58 "$WORK/$file" >"$WORK/submit.out" 2>&1 || fail "submit $file was accepted"
  grep -q "$says" "$WORK/submit.out" || fail "submit $file says: $(cat "$WORK/submit.out")"
done <<'EOF2'
doc.pdf|PDF is not printed here
doc.txt|not a document this printer takes
broken.jpg|the picture cannot be read
EOF2
[ "$(pa jobs -d p58 | wc -l)" = "$jobs_before" ] || fail "a refused submit made a job"
! pa modify -d p58 -o zelp-cutting=bogus >"$WORK/modify.out" 2>&1 || fail "modify took zelp-cutting=bogus"
grep -q 'choose one of: none, job-end-full' "$WORK/modify.out" || fail "modify says: $(cat "$WORK/modify.out")"
mkdir -p "$WORK/out/moved"
pa modify -d p58 -v "file://$WORK/out/moved" >/dev/null 2>&1 || fail "modify -v"
rm -rf "$WORK/out/p58"
for printer in p80 p58; do
  out=$WORK/out/$printer
  [ "$printer" = p80 ] || out=$WORK/out/moved
  pa submit -d "$printer" -n 2 -t "two-$printer" -o zelp-cutting=page-end-full "$WORK/doc.png" >/dev/null 2>&1 ||
    fail "submit -n 2 to $printer"
  wait_until 30 test -s "$out/two-$printer.prn" || fail "submit -n 2 printed nothing on $printer"
  sleep 0.5
  decode_stream "$out/two-$printer.prn"
  [ "${SUMMARY[cuts]}" = 2 ] || fail "submit -n 2 on $printer: ${SUMMARY[cuts]} cuts, not two copies"
done
log "ok: submit refuses PDF, text and broken JPEG; -n 2 prints two copies; modify refuses bogus values and moves p58"

# Cutting as finishings from any IPP client, on both widths; zelp-cutting
# stands where a job gives both. Two copies of a page each.
"$ZELP_RASTERWRITE" --pattern receipt --width 384 --height 40 -o "$WORK/small.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/small.ras" "$WORK/small.pwg"
while read -r finishings cutting want; do
  for printer in p80 p58; do
    args=(copies=2 "finishings=$finishings")
    [ "$cutting" = - ] || args+=("zelp-cutting=$cutting")
    got=$(print_job "$printer" "$WORK/small.pwg" image/pwg-raster "fin-$finishings-$cutting-$printer" "${args[@]}") ||
      exit 1
    [ "$printer" = p80 ] || got=$WORK/out/moved/fin-$finishings-$cutting-$printer.prn
    decode_stream "$got"
    [ "${SUMMARY[cuts]}" = "$want" ] || fail "$printer finishings=$finishings zelp-cutting=$cutting: ${SUMMARY[cuts]} cuts, not $want"
  done
done <<'EOF2'
3 - 0
62 - 2
63 - 1
3 page-end-full 2
EOF2
log "ok: finishings none, trim-after-copies and trim-after-job on both widths; zelp-cutting wins"

# Bounded work: a page header's copies stay within copies-supported (999
# with the job's copies); a raster job that arrives while the printer is
# busy waits for it; one whose client falls silent is aborted after the
# stream timeout (2 s here).
"$ZELP_RASTERWRITE" --pattern bars --width 576 --height 8 -o "$WORK/tiny.ras" >/dev/null
"$ZELP_PWGCONVERT" --copies 1000000 "$WORK/tiny.ras" "$WORK/many.pwg"
"$ZELP_PWGCONVERT" "$WORK/tiny.ras" "$WORK/one.pwg"
decode_stream "$(print_job p80 "$WORK/one.pwg" image/pwg-raster one-copy)"
rows=${SUMMARY[dot_rows]}
decode_stream "$(print_job p80 "$WORK/many.pwg" image/pwg-raster many-copies copies=3)"
[ "${SUMMARY[dot_rows]}" = $((999 * rows)) ] ||
  fail "a header asking for 1000000 copies with copies=3 gave ${SUMMARY[dot_rows]} dot rows, not 999 x $rows"
grep -q 'asks for 1000000 copies; it prints 333' "$PA_DIR/log" || fail "no warning for the header's copies"
stop_pa
start_rawprinter "$WORK/raw" 40000
PA_SERVER_OPTIONS=(-o stream-timeout=2)
start_pa
add_raw_printer slow zelp80 "socket://127.0.0.1:$RAW_PORT"
"$ZELP_RASTERWRITE" --pattern bars --width 576 --height 1500 -o "$WORK/long.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/long.ras" "$WORK/long.pwg"
first=$(job_test image/pwg-raster first)
second=$(job_test image/pwg-raster second)
ipptool -t -f "$WORK/long.pwg" "$(printer_uri slow)" "$first" >"$WORK/first.out" 2>&1 &
one=$!
wait_until 30 test -s "$RAW_DIR/job-1.part" || fail "the slow printer received nothing"
ipptool -t -f "$WORK/long.pwg" "$(printer_uri slow)" "$second" >"$WORK/second.out" 2>&1 ||
  fail "a raster job sent while the printer was busy was refused: $(grep -i status "$WORK/second.out" | head -n 3)"
wait "$one" || fail "the first raster job failed: $(tail -n 3 "$WORK/first.out")"
! grep -q 'Currently printing another job' "$PA_DIR/log" || fail "a raster job was answered busy"
# A Print-Job request written out by hand, so that curl streams it: the
# first 20 kB of a page that does not compress, then nothing.
"$ZELP_RASTERWRITE" --pattern noise --width 576 --height 1500 -o "$WORK/noise.ras" >/dev/null
"$ZELP_PWGCONVERT" "$WORK/noise.ras" "$WORK/noise.pwg"
ipp_attr() { printf "\\x$1\\x00\\x$(printf %02x ${#2})%s\\x00\\x$(printf %02x ${#3})%s" "$2" "$3"; }
{
  printf '\x02\x00\x00\x02\x00\x00\x00\x01\x01'
  ipp_attr 47 attributes-charset utf-8
  ipp_attr 48 attributes-natural-language en
  ipp_attr 45 printer-uri "$(printer_uri slow)"
  ipp_attr 42 requesting-user-name zelp-test
  ipp_attr 49 document-format image/pwg-raster
  printf '\x03'
  head -c 20000 "$WORK/noise.pwg"
  sleep 20
} | curl -s -o /dev/null -X POST -H 'Content-Type: application/ipp' -T - "http://localhost:$PA_PORT/ipp/print/slow" &
sender=$!
aborted() { grep -q '\] Aborted, ' "$PA_DIR/log"; }
wait_until 30 aborted || fail "the stalled raster job was not aborted"
grep -q 'The document ended after' "$PA_DIR/log" || fail "no message for the stalled job"
kill "$sender" 2>/dev/null || true
wait "$sender" 2>/dev/null || true
pa_alive || fail "the Printer Application died"
t0=$SECONDS
pa shutdown >/dev/null 2>&1 || fail "shutdown"
wait_until 5 bash -c "! kill -0 $PA_PID 2>/dev/null" || fail "shutdown took more than 5 s"
log "ok: header copies bounded, a busy printer's raster job waits, a silent one is aborted, shutdown in $((SECONDS - t0)) s"
stop_pa
log "PASS: conformance, options by name, drivers, identify, test page, web pages, sub-commands, finishings, bounded work"
