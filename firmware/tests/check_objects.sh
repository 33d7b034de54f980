#!/usr/bin/env bash
# The cross-built firmware modules: ARM relocatable objects for ARMv4T with
# soft floating point, defining and needing exactly the expected symbols
# (anything more, such as C++ run-time support, would not link on the board).
# Usage: check_objects.sh <readelf> <nm> <main.o> <itemactions.o>
set -euo pipefail
export LC_ALL=C
readelf=$1 nm=$2 main_o=$3 items_o=$4
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

defined() { "$nm" --defined-only --extern-only "$1" | awk '{print $3}' | sort | xargs; }
needed() { "$nm" --undefined-only "$1" | awk '{print $2}' | sort | xargs; }

expect() {   # <what> <got> <expected>
  [ "$2" = "$3" ] || fail "$1: expected [$3], got [$2]"
}

for obj in "$main_o" "$items_o"; do
  name=$(basename "$obj")
  header=$("$readelf" -h "$obj")
  grep -Eq 'Type:[[:space:]]+REL ' <<<"$header" || fail "$name is not a relocatable object"
  grep -Eq 'Machine:[[:space:]]+ARM$' <<<"$header" || fail "$name is not an ARM object"
  attributes=$("$readelf" -A "$obj")
  grep -Eq '^[[:space:]]*Tag_CPU_arch: v4T$' <<<"$attributes" || fail "$name: Tag_CPU_arch is not v4T"
  grep -Eq 'Tag_ARM_ISA_use: Yes' <<<"$attributes" || fail "$name: not ARM-state code"
  if grep -q 'Tag_FP_arch' <<<"$attributes"; then fail "$name uses a floating-point unit"; fi
done

expect "main.o defines" "$(defined "$main_o")" "DelayMs main"
expect "main.o needs" "$(needed "$main_o")" \
  "DealKey GUI_Init KeySysInit Menu_Init UART0_Init UART0_SendStr"
expect "itemactions.o defines" "$(defined "$items_o")" "SysAuthor SysVersion"
expect "itemactions.o needs" "$(needed "$items_o")" "LcdClrScrn WaitAnyKeyDown"

# main.o holds the greeting byte for byte, zero-terminated.
greeting=$("$readelf" -x .rodata "$main_o" | grep "^  0x" | cut -c 14-48 | tr -d " \n")
expect "main.o greeting bytes" "$greeting" \
  "48656c6c6f206d7920666972737420554152542070726f0a00"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "firmware objects: all checks passed"
