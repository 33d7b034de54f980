#!/bin/sh
# romtable's memory formats, on a table made here, read back by other tools:
# Intel HEX and MIF by srec_cat, COE against what od makes of the binary
# export (srec_cat's COE writer fails on this data).
#   srec_cat_formats.sh ROMTABLE SREC_CAT
set -eu
romtable=$1
srec_cat=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Option 3's first words and their layout, enough for the formats: a WIDTH = 16
# table of 4096 words 0x4000 | 4 * (q % 1024).
{
  printf 'WIDTH = 16\r\nDEPTH = 4096 \r\nCONTENT BEGIN:\r\n'
  q=1
  while [ $q -le 4096 ]; do
    [ $((q % 10)) -eq 0 ] && printf '\r\n'
    printf '%6d ,' $((16384 + 4 * (q % 1024)))
    q=$((q + 1))
  done
} > table.txt
"$romtable" check table.txt >/dev/null
"$romtable" export --bin be table.txt -o table.bin
"$romtable" export --bin le table.txt -o table-le.bin
[ "$(wc -c < table.bin)" -eq 8192 ]

# romtable's Intel HEX read back by srec_cat: the same bytes.
"$romtable" export --hex table.txt -o table.hex
"$srec_cat" table.hex -intel -o back.bin -binary
cmp table.bin back.bin
# Little-endian words: the same through srec_cat's byte swap.
"$srec_cat" table-le.bin -binary -byte-swap 2 -o swapped.bin -binary
cmp table.bin swapped.bin

# romtable's MIF read by srec_cat as srec_cat's own MIF of the same words is.
"$romtable" export --mif table.txt -o table.mif
"$srec_cat" table.bin -binary -o theirs.mif -mif 16
"$srec_cat" table.mif -mif -o ours-read.bin -binary
"$srec_cat" theirs.mif -mif -o theirs-read.bin -binary
cmp ours-read.bin theirs-read.bin
grep -q '^DEPTH = 4096;' table.mif

# romtable's COE is what od makes of the big-endian words.
"$romtable" export --coe table.txt -o table.coe
{
  echo 'memory_initialization_radix = 16;'
  echo 'memory_initialization_vector ='
  od -An -v -tx2 -w2 --endian=big table.bin | sed 's/^ *//; $!s/$/,/; $s/$/;/'
} > od.coe
cmp table.coe od.coe
echo "romtable's memory formats read back: ok"
