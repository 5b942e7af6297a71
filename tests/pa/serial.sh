#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# A serial printer: the virtual printer on a pseudo-terminal read at 9,600
# baud, a printer of the Printer Application on it through the serial
# device scheme. A short receipt must reach it byte for byte as the same
# printer's driver writes it to a file, and its paper must be the picture
# of those bytes.
source "$(dirname "$0")/common.sh"
[ -n "${ZELP_VPRINTER:-}" ] || fail "ZELP_VPRINTER is not set (run the test through ctest)"
init_work pa-serial

vp=$WORK/vp
mkdir -p "$vp"
start_bg "$ZELP_VPRINTER" --no-tcp --serial 9600 --pty-file "$vp/pty" --control "$vp/control" \
  --capture "$vp/received.bin" --png "$vp/paper.png" --log "$vp/log"
wait_until 10 test -s "$vp/pty" || fail "the virtual printer gave no pseudo-terminal: $(tail -n 3 "$vp/log")"
pty=$(cat "$vp/pty")

start_pa
add_printer file80 zelp80
add_printer serial80 zelp80 "serial://$pty?baud=9600&flow=none"

page_picture receipt 576 80 "$WORK/receipt.pgm"
"$ZELP_RASTERWRITE" --input "$WORK/receipt.pgm" -o "$WORK/receipt.ras" >/dev/null || fail "zelp-rasterwrite"
"$ZELP_PWGCONVERT" "$WORK/receipt.ras" "$WORK/receipt.pwg" || fail "zelp-pwgconvert"
want=$(print_job file80 "$WORK/receipt.pwg" image/pwg-raster receipt)
print_job serial80 "$WORK/receipt.pwg" image/pwg-raster receipt >/dev/null

# The job ends once its bytes have left the port; the printer prints on.
wait_until 30 grep -q 'event=cut' "$vp/log" || fail "the virtual printer cut no receipt: $(tail -n 5 "$vp/log")"
cmp -s "$vp/received.bin" "$want" ||
  fail "the serial printer received $(stat -c %s "$vp/received.bin") bytes unlike the $(stat -c %s "$want") of the driver"
reply=$("$ZELP_VPRINTER" --control "$vp/control" save) || fail "the virtual printer does not answer: $reply"
"$ZELP_PREVIEW" -o "$WORK/want.png" "$want" >/dev/null || fail "escpos-preview cannot read the driver's bytes"
cmp -s "$vp/paper.png" "$WORK/want.png" || fail "the serial printer's paper is not the picture of the driver's bytes"
reply=$("$ZELP_VPRINTER" --control "$vp/control" status)
[[ $reply == *" dropped=0 "* && $reply == *" cuts=1"* ]] || fail "the virtual printer says: $reply"
log "ok: a $(stat -c %s "$want")-byte receipt over serial://$pty?baud=9600"
pa_alive || fail "the Printer Application died"
stop_pa
log "PASS: the serial device scheme prints a receipt at 9,600 baud"
