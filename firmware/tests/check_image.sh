#!/usr/bin/env bash
# The linked firmware image: nothing left undefined, the symbols a debugger or
# board simulator looks for, the exception vectors and their checksum as the
# LPC2000 boot loader wants them, and .hex/.bin holding the same flash image.
# Usage: check_image.sh <readelf> <nm> <objcopy> <firmware.elf> <firmware.bin> <firmware.hex>
set -euo pipefail
export LC_ALL=C
readelf=$1 nm=$2 objcopy=$3 elf=$4 bin=$5 hex=$6
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

symbol_table=$("$nm" "$elf")
address_of() { awk -v s="$1" '$3 == s {print $1}' <<<"$symbol_table"; }

# Linked for the ARM7TDMI, complete.
header=$("$readelf" -h "$elf")
grep -Eq 'Type:[[:space:]]+EXEC ' <<<"$header" || fail "firmware.elf is not an executable"
grep -Eq 'Machine:[[:space:]]+ARM$' <<<"$header" || fail "firmware.elf is not for ARM"
"$readelf" -A "$elf" | grep -Eq '^[[:space:]]*Tag_CPU_arch: v4T$' || fail "firmware.elf is not ARMv4T"
undefined=$("$nm" --undefined-only "$elf" | awk '{print $2}' | xargs)
[ -z "$undefined" ] || fail "undefined symbols: $undefined"

# Unmangled symbols a simulator or a debugger session may rely on.
for symbol in main DelayMs SysVersion SysAuthor SysSignal DealKey KeySysInit GUI_Init Menu_Init UART0_Init \
              UART0_SendStr LcdClrScrn WaitAnyKeyDown SwiHandle1 LcdFrame SignalTimerIrq \
              Undef_Hang PAbt_Hang DAbt_Hang Irq_Hang Fiq_Hang; do
  [ -n "$(address_of "$symbol")" ] || fail "symbol $symbol missing"
done

# The LCD driver's frame, what the panel is sent (gdb users watch it): 6 pages
# of 84 columns, in RAM (0x40000000..0x40003FFF).
frame=$("$nm" -S "$elf" | awk '$4 == "LcdFrame" {print $1, $2}')
if [ -n "$frame" ]; then
  read -r frame_address frame_size <<<"$frame"
  [ $((16#$frame_size)) -eq 504 ] || fail "LcdFrame is $((16#$frame_size)) bytes, not 504"
  [ $((16#$frame_address)) -ge $((0x40000000)) ] && [ $((16#$frame_address + 504)) -le $((0x40004000)) ] ||
    fail "LcdFrame at 0x$frame_address is not in RAM"
fi

# The flash image fits the 256 KiB of flash.
size=$(stat -c %s "$bin")
[ "$size" -le $((256 * 1024)) ] || fail "firmware.bin is $size bytes, more than the flash"
[ "$size" -ge 64 ] || fail "firmware.bin is too short to hold the vectors"

# Vectors: words 0..7 at 0x00, their handler table at 0x20 (little-endian
# image); the IRQ vector (6) jumps to what the VIC's VectAddr register gives.
mapfile -t words < <(od -An -v -tu4 -N64 "$bin" | xargs -n1)
sum=0
for i in 0 1 2 3 4 5 6 7; do
  sum=$(((sum + words[i]) & 0xFFFFFFFF))
  if [ "$i" -eq 6 ]; then
    [ "${words[i]}" -eq $((0xE51FFFF0)) ] ||
      fail "vector 6 is $(printf 0x%08X "${words[i]}"), not ldr pc, [pc, #-0xFF0]"
  elif [ "$i" -ne 5 ] && [ "${words[i]}" -ne $((0xE59FF018)) ]; then
    fail "vector $i is $(printf 0x%08X "${words[i]}"), not ldr pc, [pc, #24]"
  fi
done
[ "$sum" -eq 0 ] || fail "vector words sum to $(printf 0x%08X "$sum"), not 0"

entry=$("$readelf" -h "$elf" | awk '/Entry point address/ {print $4}')
[ "${words[8]}" -eq $((entry)) ] || fail "reset vector leads to $(printf 0x%X "${words[8]}"), entry is $entry"
expect_handler() {   # <table index> <symbol>
  local address
  address=$(address_of "$2")
  [ -n "$address" ] && [ "${words[$1]}" -eq $((16#$address)) ] ||
    fail "vector $(( $1 - 8 )) does not lead to $2"
}
expect_handler 9 Undef_Hang
expect_handler 11 PAbt_Hang
expect_handler 12 DAbt_Hang
expect_handler 15 Fiq_Hang
swi=${words[10]}
[ "$swi" -ne 0 ] && [ "$swi" -lt "$size" ] || fail "SWI vector does not lead into the image"

# The Intel HEX file holds the same bytes as the binary.
scratch=$(mktemp)
trap 'rm -f "$scratch"' EXIT
"$objcopy" -I ihex -O binary "$hex" "$scratch"
cmp -s "$scratch" "$bin" || fail "firmware.hex and firmware.bin differ"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "firmware image: all checks passed"
