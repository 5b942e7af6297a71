# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# What a shop prints, as documents for the CUPS chain: a receipt (logo bar,
# centred header, items with prices on the right, totals, a barcode), the
# same receipt 1 m long, an A4 invoice, two copies of the receipt, three
# receipts as three pages, a 48-column text receipt. Sourced by the
# benchmarks and tests that print them (after tests/cups/common.sh).
#   make_shop_documents DIR     writes them into DIR
#   SHOP_CASES                  "name file [job options]" a line

# A receipt PDF of LENGTH mm on 80 mm paper (PAGES of them), Courier 3 mm on
# a 4.5 mm pitch.
receipt_pdf() {
  local length=$1 out=$2 pages=${3:-1}
  gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$out" -c "
    /mm { 72 mul 25.4 div } def
    << /PageSize [ 80 mm $length mm ] >> setpagedevice
    /cshow { dup stringwidth pop 2 div neg 0 rmoveto show } def
    /rshow { dup stringwidth pop neg 0 rmoveto show } def
    /line { /y y 4.5 mm sub def } def
    1 1 $pages { /page exch def
      /y $length 6 sub mm def
      0.3 setgray 20 mm y 8 mm sub 40 mm 10 mm rectfill 0 setgray
      /y y 14 mm sub def
      /Helvetica-Bold findfont 5 mm scalefont setfont 40 mm y moveto (ZELP CORNER SHOP) cshow
      /y y 6 mm sub def
      /Courier findfont 3 mm scalefont setfont
      40 mm y moveto (1 Market Street, Springfield) cshow line
      40 mm y moveto (VAT 123 456 789) cshow line
      6 mm y moveto (2026-03-14 12:41  Till 2  Receipt ) show page 4 string cvs show line
      0.3 mm setlinewidth 6 mm y 2 mm add moveto 74 mm y 2 mm add lineto stroke line
      /n 0 def
      { y 40 mm lt { exit } if
        /n n 1 add def
        6 mm y moveto (Item ) show n 5 string cvs show (  2 x 1.25) show
        74 mm y moveto (2.50) rshow line } loop
      6 mm y 2 mm add moveto 74 mm y 2 mm add lineto stroke line
      /Courier-Bold findfont 4 mm scalefont setfont
      6 mm y moveto (TOTAL) show 74 mm y moveto n 5 mul 2 div 10 string cvs rshow
      /Courier findfont 3 mm scalefont setfont /y y 6 mm sub def
      6 mm y moveto (Card) show 74 mm y moveto (paid) rshow line
      40 mm y moveto (Thank you for shopping with us) cshow
      /y y 12 mm sub def
      0 1 47 { /i exch def 15 mm i 1.1 mm mul add y i 3 mod 0 eq { 0.8 mm } { 0.4 mm } ifelse 9 mm rectfill } for
      showpage } for" || fail "Ghostscript cannot make $out"
}

make_shop_documents() {
  local dir=$1
  mkdir -p "$dir"
  receipt_pdf 118 "$dir/receipt.pdf"
  receipt_pdf 1000 "$dir/receipt-1m.pdf"
  receipt_pdf 100 "$dir/three-pages.pdf" 3
  gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$dir/invoice-a4.pdf" -sPAPERSIZE=a4 -c "
    /rshow { dup stringwidth pop neg 0 rmoveto show } def
    /Helvetica-Bold findfont 20 scalefont setfont 56 770 moveto (INVOICE 2026-0042) show
    /Helvetica findfont 10 scalefont setfont
    56 740 moveto (ZELP Corner Shop, 1 Market Street, Springfield) show
    56 726 moveto (Customer: A. Buyer, 2 Station Road, Shelbyville) show
    539 740 moveto (Date: 2026-03-14) rshow
    0.8 setlinewidth 56 700 moveto 539 700 lineto stroke
    56 688 moveto (Description) show 400 688 moveto (Qty) rshow 539 688 moveto (Amount) rshow
    56 682 moveto 539 682 lineto stroke
    /y 666 def
    1 1 30 { /i exch def 56 y moveto (Shelf bracket, steel, size ) show i 3 string cvs show
      400 y moveto (2) rshow 539 y moveto (9.00) rshow /y y 16 sub def } for
    56 y 8 add moveto 539 y 8 add lineto stroke
    /Helvetica-Bold findfont 12 scalefont setfont 539 y 10 sub moveto (Total 270.00) rshow
    /Helvetica findfont 8 scalefont setfont 56 60 moveto (Payable within 30 days. Thank you.) show
    showpage" || fail "Ghostscript cannot make the invoice"
  {
    echo "ZELP CORNER SHOP"
    printf '%s\n' "$(printf '1234567890%.0s' 1 2 3 4 5 | head -c 48)"
    for i in $(seq 1 20); do printf 'ITEM %02d%41s\n' "$i" "1.00"; done
    printf 'TOTAL%43s\n' "20.00"
  } >"$dir/text-48.txt"
}

# document file [options...]
SHOP_CASES=(
  "receipt receipt.pdf"
  "receipt-1m receipt-1m.pdf"
  "invoice-a4 invoice-a4.pdf"
  "two-copies receipt.pdf copies=2"
  "three-pages three-pages.pdf"
  "text-48 text-48.txt"
)
