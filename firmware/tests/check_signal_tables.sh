#!/usr/bin/env bash
# The signal generator's tables in the flash image are byte for byte what
# dactables writes: each table is made afresh by the dactables given (in a
# scratch folder, its menu answers on standard input), its entries read here
# on their own (byte pairs after CONTENT BEGIN:, high byte first), and
# compared with the array's 16-bit little-endian words in firmware.bin at
# the symbol's address (flash starts at 0).
# Usage: check_signal_tables.sh <dactables> <nm> <firmware.elf> <firmware.bin> <option>:<step>:<array>...
set -euo pipefail
export LC_ALL=C
dactables=$(realpath "$1") nm=$2 elf=$3 bin=$4
shift 4
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
symbols=$("$nm" -S "$elf")

for entry in "$@"; do
  IFS=: read -r option step array <<<"$entry"
  answers=$option
  if [ "$option" = 7 ] || [ "$option" = 8 ]; then answers="$option $step"; fi
  dir="$scratch/$array"
  mkdir "$dir"
  (cd "$dir" && printf '%s\n' "$answers" | "$dactables" >/dev/null)
  tables=("$dir"/*.txt)
  [ ${#tables[@]} -eq 1 ] && [ -f "${tables[0]}" ] || { fail "$array: dactables '$answers' wrote no single table"; continue; }

  # The words of the table: every number after the CONTENT BEGIN: line, in
  # pairs.
  mapfile -t expected < <(awk '
    found { gsub(/[^0-9]+/, " "); n = split($0, v, " "); for (i = 1; i <= n; i++) bytes[count++] = v[i] }
    /CONTENT BEGIN:/ { found = 1 }
    END { if (count % 2) { print "odd" ; exit } for (i = 0; i < count; i += 2) print bytes[i] * 256 + bytes[i + 1] }
  ' "${tables[0]}")
  [ ${#expected[@]} -gt 0 ] && [ "${expected[0]}" != odd ] || { fail "$array: no byte pairs in ${tables[0]}"; continue; }

  read -r address size < <(awk -v s="$array" '$4 == s {print $1, $2}' <<<"$symbols") || true
  [ -n "${address:-}" ] || { fail "$array is not in the image"; continue; }
  [ $((16#$size)) -eq $((2 * ${#expected[@]})) ] ||
    { fail "$array holds $((16#$size)) bytes, the table ${#expected[@]} words"; continue; }
  mapfile -t image < <(od -An -v -tu1 -j $((16#$address)) -N $((16#$size)) "$bin" |
    awk '{ for (i = 1; i <= NF; i++) b[n++] = $i } END { for (i = 0; i < n; i += 2) print b[i] + 256 * b[i + 1] }')
  differs=$(paste -d' ' <(printf '%s\n' "${image[@]}") <(printf '%s\n' "${expected[@]}") |
    awk '$1 != $2 && !found { print NR - 1, $1, $2; found = 1 }')
  if [ -n "$differs" ]; then
    read -r i got want <<<"$differs"
    fail "$array word $i is $got in the image, $want in the table"
  fi
  unset address size
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "signal tables: $# arrays equal to dactables' tables"
