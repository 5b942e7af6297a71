#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Documents a shop prints, through the real chain with the shipped PPDs:
# once through cupsfilter, once with lp through a private cupsd whose queues
# scripts/add-queue.sh made, as README.md says. The printer bytes are
# decoded piece of paper by piece (zelp-paper) and must show, for every
# document:
#   - at most 5 mm of blank paper before the first dot of each receipt;
#   - one receipt per copy, each ended by its own cut, none cut inside;
#   - receipts at full size (or fitted as the page says): the rows from
#     the first dot to the last within 2% of what the document's ink spans;
#   - text without wrapped lines (42 columns on 80 mm, 32 on 58 mm paper);
#   - pictures at one pixel per dot, not turned; a picture wider than the
#     paper upright and scaled to the printable width, in one receipt;
#   - a JPEG without a JFIF or Exif marker printed like any other;
#   - custom sizes, given as media= or as PageSize=, fitting a receipt too
#     big for them, never enlarging and cropping it.
#   - the same paper, dot for dot, in no more bytes than with Transfer=0
#     (the shipped PPDs send compact transfer), through cupsfilter.
# The two routes are checked alike, not compared byte for byte: the
# scheduler hands a custom size on in whole points, which moves a fitted
# page by a row.
#
# It prints a table of the paper each document takes and the time from lp
# to job completed: reported, not checked. With ZELP_MEASURE_ONLY=1 it only
# prints the table, with queues made the way they were before add-queue.sh
# (plain lpadmin, no queue defaults), for the PPDs of an older version:
#   ZELP_MEASURE_ONLY=1 ZELP_MEASURE_PPD_DIR=/old/build/ppd ctest -R cups.documents -V
source "$(dirname "$0")/common.sh"

[ -n "${ZELP_PAPER:-}" ] || fail "ZELP_PAPER is not set (run the test through ctest)"
add_queue=$(cd "$(dirname "$0")/../.." && pwd)/scripts/add-queue.sh
[ -x "$add_queue" ] || fail "$add_queue is missing"
measure_only=${ZELP_MEASURE_ONLY:-0}
if [ "$measure_only" = 1 ] && [ -n "${ZELP_MEASURE_PPD_DIR:-}" ]; then ZELP_PPD_DIR=$ZELP_MEASURE_PPD_DIR; fi

init_work docs
setup_cups_tree
docs=$WORK/docs
mkdir -p "$docs"

# --- the documents -----------------------------------------------------------

# A receipt PDF, WIDTH x LENGTH mm: lines of 3 mm Courier down the page and
# a rule 1 mm from the top and from the bottom edge, 0.3 mm thick, so its
# ink spans LENGTH - 1.7 mm.
receipt_pdf() {
  local w=$1 l=$2 out=$3
  gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$out" -c "
    /mm { 72 mul 25.4 div } def
    << /PageSize [ $w mm $l mm ] >> setpagedevice
    /Courier findfont 3 mm scalefont setfont
    0.3 mm setlinewidth
    newpath 5 mm $l 1 sub mm moveto $w 5 sub mm $l 1 sub mm lineto stroke
    newpath 5 mm 1 mm moveto $w 5 sub mm 1 mm lineto stroke
    /y $l 8 sub mm def
    /line { 6 mm y moveto show /y y 4.5 mm sub def } def
    (ZELP CORNER SHOP) line (RECEIPT 0042) line
    1 1 100000 { y 12 mm lt { pop exit } if
      6 mm y moveto (ITEM ) show 8 string cvs show (  1.00) show /y y 4.5 mm sub def } for
    showpage" || fail "Ghostscript cannot make $out"
}
ink_rows() { echo $((($1 * 10 - 17) * 203 / 254)); } # LENGTH mm -> dot rows of ink

# A text receipt exactly COLUMNS wide: 13 lines, capitals and digits only
# (no dot of an i to count as a line of its own).
text_receipt() {
  local cols=$1 out=$2 i
  {
    echo "ZELP CORNER SHOP"
    printf '%s' "$(printf '1234567890%.0s' $(seq 1 $((cols / 10 + 1))))" | head -c "$cols"
    echo
    for i in $(seq 1 10); do printf 'ITEM %02d%*s\n' "$i" $((cols - 7)) "1.00"; done
    printf 'TOTAL%*s\n' $((cols - 5)) "10.00"
  } >"$out"
}

# A logo, WIDTH x HEIGHT pixels: a grey ramp in a black frame.
logo_png() {
  pgmramp -lr $(($1 - 4)) $(($2 - 4)) | pnmpad -black -left 2 -right 2 -top 2 -bottom 2 |
    pnmtopng >"$3" 2>/dev/null || fail "netpbm cannot make $3"
}

receipt_pdf 80 100 "$docs/short.pdf"
receipt_pdf 80 600 "$docs/long.pdf"
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$docs/a4.pdf" -sPAPERSIZE=a4 -c "
  /Helvetica findfont 24 scalefont setfont 72 770 moveto (A4 LETTER) show
  4 setlinewidth 36 36 moveto 559 36 lineto 559 806 lineto 36 806 lineto closepath stroke
  showpage" || fail "Ghostscript cannot make the A4 PDF"
text_receipt 42 "$docs/text42.txt"
text_receipt 32 "$docs/text32.txt"
logo_png 400 160 "$docs/logo400.png"
logo_png 320 128 "$docs/logo320.png"
logo_png 906 160 "$docs/logo906.png"  # wider than the 80 mm head
logo_png 452 160 "$docs/logo452.png"  # narrower than it, wider than the 58 mm one
# A JPEG that starts FF D8 FF DB: its JFIF marker taken out.
pgmramp -lr 200 100 | pnmtojpeg >"$WORK/jfif.jpg" 2>/dev/null || fail "netpbm cannot make a JPEG"
[ "$(head -c 4 "$WORK/jfif.jpg" | hex_of)" = ffd8ffe0 ] || fail "pnmtojpeg wrote no JFIF marker first"
{ printf '\377\330'; tail -c +$((4 + 16 + 1)) "$WORK/jfif.jpg"; } >"$docs/bare.jpg"
[ "$(head -c 4 "$docs/bare.jpg" | hex_of)" = ffd8ffdb ] || fail "bare.jpg does not start FF D8 FF DB"
cp "$(cups_test_page)" "$docs/testpage.pdf"

# --- what each must print ----------------------------------------------------

# model document copies ink lines [options...]
#   ink:   dot rows from the first dot to the last of each receipt (within
#          2%), or -: the 80 mm receipts on the paper-wide default page print
#          at full size, on 58 mm paper they are fitted to 0.6 of it; the
#          custom sizes have the long receipt's shape at 0.9 and 0.6 of its
#          size (CUPS then fits and crops alike), and on 80 mm paper only a
#          custom size that is honoured shrinks it
#   lines: lines of text, or -
#   options: NAME=VALUE for the job; @left=N and @across=N are checks, not
#            options: the leftmost dot's column and the dot columns from it
#            to the rightmost (within 2%)
full=$(ink_rows 600)
short=$(ink_rows 100)
cases=(
  "80 short.pdf    1 $(ink_rows 100) -"
  "58 short.pdf    1 $(($(ink_rows 100) * 6 / 10)) -"
  "80 long.pdf     1 $full -"
  "58 long.pdf     1 $((full * 6 / 10)) -"
  "80 a4.pdf       1 - -"
  "80 text42.txt   1 - 13"
  "58 text32.txt   1 - 13"
  "80 logo400.png  1 160 -"
  "58 logo320.png  1 128 -"
  "80 testpage.pdf 1 - -"
  "58 testpage.pdf 1 - -"
  "80 short.pdf    2 $(ink_rows 100) -"
  "80 long.pdf     1 $((full * 9 / 10)) - media=Custom.72x540mm"
  "58 long.pdf     1 $((full * 6 / 10)) - PageSize=Custom.48x360mm"
  # Pictures wider than the paper: upright, scaled to the printable width
  # (574 and 383 dots as imagetoraster rounds), one receipt.
  "80 logo906.png  1 $((160 * 576 / 906)) - @across=574"
  "80 logo906.png  1 $((160 * 576 / 906)) - orientation-requested=3 @across=574"
  "58 logo452.png  1 $((160 * 384 / 452)) - @across=383"
  # Narrower than the head: one pixel a dot, centred by default, at the
  # left edge with Centering=0.
  "80 logo452.png  1 160 - @left=62 @across=451"
  "80 logo452.png  1 160 - Centering=0 @left=0 @across=451"
  "80 bare.jpg     1 100 -"
  "58 bare.jpg     1 100 -"
  # A receipt too big for a custom size is fitted to it, whichever way the
  # size is given.
  "80 short.pdf    1 $((short * 9 / 10)) - media=Custom.72x400mm"
  "80 short.pdf    1 $((short * 9 / 10)) - PageSize=Custom.72x400mm"
  "58 short.pdf    1 $((short * 6 / 10)) - media=Custom.48x400mm"
  "58 short.pdf    1 $((short * 6 / 10)) - PageSize=Custom.48x400mm"
)

# The queue defaults that add-queue.sh sets, as job options for cupsfilter.
queue_options=()
[ "$measure_only" = 1 ] || mapfile -t queue_options < <("$add_queue" --options)

start_rawprinter "$WORK/printer"
start_cupsd snmp
for model in 80 58; do
  if [ "$measure_only" = 1 ]; then
    cups_client lpadmin -p "zelp$model" -E -v "socket://127.0.0.1:$RAW_PORT" -m "zelp/zelp$model.ppd"
  else
    cups_client "$add_queue" "zelp$model" "socket://127.0.0.1:$RAW_PORT" "$model" >/dev/null
  fi 2>"$WORK/add-queue.log" || fail "the queue for zelp$model cannot be added: $(cat "$WORK/add-queue.log")"
done

# Prints FILE on QUEUE with lp; sets GOT (the printer bytes) and SECONDS_TAKEN
# (lp to job completed). Connection N of the raw printer is job N.
jobs_sent=0
print_lp() {
  local queue=$1 file=$2 reply id started
  shift 2
  started=$(date +%s%N)
  reply=$(cups_client lp -d "$queue" "$@" "$file") || fail "lp -d $queue $* $file failed"
  [[ $reply =~ request\ id\ is\ $queue-([0-9]+) ]] || fail "lp said: $reply"
  id=${BASH_REMATCH[1]}
  wait_job_finished "$queue" "$id"
  SECONDS_TAKEN=$(awk -v ns=$(($(date +%s%N) - started)) 'BEGIN { printf "%.2f", ns / 1e9 }')
  jobs_sent=$((jobs_sent + 1))
  GOT=$(wait_for_job_bytes "$jobs_sent" 30)
}

mm() { awk -v d="$1" 'BEGIN { printf "%.0f", d * 25.4 / 203 }'; }
pieces_mm() { # the paper of each piece, in mm: "101+101"
  local out="" p
  for p in "${PAPER[@]}"; do out+="${out:++}$(mm "$p")"; done
  printf '%s' "$out"
}

# Decodes FILE into the arrays PAPER, LEAD, INK, LINES, LEFT, ACROSS (one
# entry a piece) and CUTS.
measure() {
  local line
  PAPER=() LEAD=() INK=() LINES=() LEFT=() ACROSS=() CUTS=0
  "$ZELP_PAPER" "$1" >"$1.paper" || fail "zelp-paper cannot decode $1"
  while IFS= read -r line; do
    if [[ $line =~ ^piece=[0-9]+\ paper=([0-9]+)\ lead=([0-9]+)\ ink=([0-9]+)\ lines=([0-9]+)\ left=([0-9]+)\ across=([0-9]+) ]]; then
      PAPER+=("${BASH_REMATCH[1]}") LEAD+=("${BASH_REMATCH[2]}")
      INK+=("${BASH_REMATCH[3]}") LINES+=("${BASH_REMATCH[4]}")
      LEFT+=("${BASH_REMATCH[5]}") ACROSS+=("${BASH_REMATCH[6]}")
    elif [[ $line =~ ^cuts=([0-9]+) ]]; then
      CUTS=${BASH_REMATCH[1]}
    fi
  done <"$1.paper"
}

within2() { (($1 * 50 >= $2 * 49 && $1 * 50 <= $2 * 51)); } # GOT WANT

check() {
  local what=$1 copies=$2 ink=$3 lines=$4 left=$5 across=$6 i
  ((${#PAPER[@]} == copies && CUTS == copies)) ||
    fail "$what: ${#PAPER[@]} pieces of paper and $CUTS cuts, expected $copies of each"
  for ((i = 0; i < copies; i++)); do
    ((INK[i] > 0)) || fail "$what: receipt $((i + 1)) has no dot"
    # 5 mm = 40 dot rows
    ((LEAD[i] <= 40)) || fail "$what: receipt $((i + 1)) starts with $(mm "${LEAD[i]}") mm of blank paper"
    if [ "$ink" != - ]; then
      within2 "${INK[i]}" "$ink" ||
        fail "$what: receipt $((i + 1)) spans ${INK[i]} dot rows, expected $ink (within 2%)"
    fi
    if [ "$left" != - ]; then
      ((LEFT[i] == left)) || fail "$what: receipt $((i + 1)) starts at dot column ${LEFT[i]}, expected $left"
    fi
    if [ "$across" != - ]; then
      within2 "${ACROSS[i]}" "$across" ||
        fail "$what: receipt $((i + 1)) spans ${ACROSS[i]} dot columns, expected $across (within 2%)"
    fi
    if [ "$lines" != - ]; then
      ((LINES[i] == lines)) || fail "$what: $lines lines of text came out as ${LINES[i]}"
    fi
  done
}

# The table: the cupsfilter route's paper per receipt, blank paper before
# the first dot and ink span of the first receipt (mm), lp to completed.
printf '%-40s %-8s %-8s %-9s %-9s %s\n' document paper_mm lead_mm ink_mm lp_s cuts/pieces >&2
for row in "${cases[@]}"; do
  read -r model doc copies ink lines options <<<"$row"
  read -ra pairs <<<"${options:-}"
  opts=() kept=() left=- across=-
  for pair in "${pairs[@]}"; do
    case $pair in
      @left=*) left=${pair#@left=} ;;
      @across=*) across=${pair#@across=} ;;
      *) opts+=(-o "$pair") kept+=("$pair") ;;
    esac
  done
  options=${kept[*]}
  what="zelp$model $doc${options:+ $options}"
  lp_opts=("${opts[@]}")
  if ((copies > 1)); then
    what+=" copies=$copies"
    opts+=(-o "copies=$copies")
    lp_opts+=(-n "$copies")
  fi

  chain=$WORK/$model-$doc-${options//[^A-Za-z0-9]/_}-$copies.prn
  filter_opts=()
  for pair in "${queue_options[@]}"; do filter_opts+=(-o "$pair"); done
  run_cupsfilter "$ZELP_PPD_DIR/zelp$model.ppd" "$chain" "$docs/$doc" "${filter_opts[@]}" "${opts[@]}"
  print_lp "zelp$model" "$docs/$doc" "${lp_opts[@]}"

  measure "$chain"
  printf '%-40s %-8s %-8s %-9s %-9s %s\n' "$what" "$(pieces_mm)" "$(mm "${LEAD[0]:-0}")" \
    "$(mm "${INK[0]:-0}")" "$SECONDS_TAKEN" "$CUTS/${#PAPER[@]}" >&2
  [ "$measure_only" = 1 ] && continue
  check "$what (cupsfilter)" "$copies" "$ink" "$lines" "$left" "$across"
  run_cupsfilter "$ZELP_PPD_DIR/zelp$model.ppd" "$chain.full" "$docs/$doc" "${filter_opts[@]}" "${opts[@]}" \
    -o Transfer=0
  check_same_paper "$chain" "$chain.full" "$(ppd_width_bytes "zelp$model.ppd")" "$what"
  measure "$GOT"
  check "$what (lp)" "$copies" "$ink" "$lines" "$left" "$across"
done

# The same page through a queue whose socket address lacks snmp=false: the
# backend first waits for an SNMP answer that never comes.
cups_client lpadmin -p plain -E -v "socket://127.0.0.1:$RAW_PORT" -m zelp/zelp80.ppd 2>/dev/null ||
  fail "lpadmin cannot add the plain socket queue"
print_lp plain "$docs/testpage.pdf"
log "report: lp to job completed for the test page: ${SECONDS_TAKEN} s through socket://HOST:PORT" \
  "(SNMP probe), see testpage.pdf above for socket://HOST:PORT/?snmp=false"
# A printer that goes away in the middle of a job (it hangs up after 4 KB):
# the backend fails and closes the filter's output. The filter says why and
# ends with status 1, as for any failed write; it used to die of SIGPIPE.
if [ "$measure_only" != 1 ]; then
  mkdir -p "$WORK/gone"
  start_bg "$ZELP_RAWPRINTER" --dir "$WORK/gone" --port-file "$WORK/gone/port" --hang-up-after 4096
  wait_until 10 test -s "$WORK/gone/port" || fail "the printer that hangs up did not start"
  cups_client "$add_queue" gone "socket://127.0.0.1:$(cat "$WORK/gone/port")" 80 >/dev/null 2>&1 ||
    fail "the queue for the printer that hangs up cannot be added"
  reply=$(cups_client lp -d gone "$docs/long.pdf") || fail "lp -d gone long.pdf failed"
  [[ $reply =~ request\ id\ is\ gone-([0-9]+) ]] || fail "lp said: $reply"
  id=${BASH_REMATCH[1]}
  wait_until 60 grep -q "\[Job $id\] Backend returned status" "$WORK/log/error_log" ||
    fail "the backend of job gone-$id never gave up on the printer that hangs up"
  wait_until 10 grep -q "\[Job $id\] PID [0-9]* (.*/raster_to_ZELP) " "$WORK/log/error_log" ||
    fail "raster_to_ZELP of job gone-$id never ended"
  ended=$(grep "\[Job $id\] PID [0-9]* (.*/raster_to_ZELP) " "$WORK/log/error_log" | sed 's/.*raster_to_ZELP) //')
  [ "$ended" = "stopped with status 1." ] || fail "raster_to_ZELP on a printer that went away: $ended"
  grep -q "\[Job $id\] Unable to write print data: Broken pipe" "$WORK/log/error_log" ||
    fail "no \"Unable to write print data\" for job gone-$id"
  log "ok: a printer that goes away: raster_to_ZELP $ended"
fi
[ "$measure_only" = 1 ] || log "ok: ${#cases[@]} documents through cupsfilter and lp"
