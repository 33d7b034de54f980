#!/bin/sh
# The README's conversions of romtable's binary export, on a table made here:
# Intel HEX and MIF through srec_cat, COE by od (srec_cat's COE writer fails on
# this data). Each result is read back or compared word by word.
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

# Intel HEX, and back to the same bytes.
"$srec_cat" table.bin -binary -o table.hex -intel
"$srec_cat" table.hex -intel -o back.bin -binary
cmp table.bin back.bin
# Little-endian words: the same through srec_cat's byte swap.
"$srec_cat" table-le.bin -binary -byte-swap 2 -o swapped.bin -binary
cmp table.bin swapped.bin

# MIF, 16-bit words: header and the first and last word.
"$srec_cat" table.bin -binary -o table.mif -mif 16
grep -q '^DEPTH = 4096;' table.mif
grep -q '^WIDTH = 16;' table.mif
grep -q '^0000: 4004 4008 400C' table.mif
grep -q '4000;$' table.mif

# COE, 16-bit words in hex.
{
  echo 'memory_initialization_radix = 16;'
  echo 'memory_initialization_vector ='
  od -An -v -tx2 -w2 --endian=big table.bin | sed 's/^ *//; $!s/$/,/; $s/$/;/'
} > table.coe
[ "$(sed -n 3p table.coe)" = "4004," ]
[ "$(tail -n 1 table.coe)" = "4000;" ]
[ "$(grep -c , table.coe)" -eq 4095 ]
echo "srec_cat formats: ok"
