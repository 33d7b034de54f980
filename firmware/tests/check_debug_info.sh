#!/usr/bin/env bash
# The image carries debug information for gdb (source lines, call frames,
# types), and the flash image does not depend on it: built from the same
# sources without -g, firmware.bin and firmware.hex are the same bytes.
# Usage: check_debug_info.sh <readelf> <dir with debug info> <dir without>
set -euo pipefail
export LC_ALL=C
readelf=$1 with=$2 without=$3
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

sections() { "$readelf" -S -W "$1" | grep -o '\.debug_[a-z_]*' | sort -u | xargs; }

debug_sections=$(sections "$with/firmware.elf")
for section in .debug_info .debug_line .debug_frame; do
  grep -qw -- "$section" <<<"$debug_sections" || fail "firmware.elf has no $section (has: $debug_sections)"
done
[ -z "$(sections "$without/firmware.elf")" ] || fail "the image built without -g has debug sections"

# Lines of the firmware's own sources, and the functions and data by name.
lines=$("$readelf" --debug-dump=decodedline "$with/firmware.elf")
for source in main.cpp itemactions.cpp startup.S; do
  grep -q "$source" <<<"$lines" || fail "no line table for $source"
done
info=$("$readelf" --debug-dump=info "$with/firmware.elf")
for name in DelayMs main Greeting LcdFrame; do
  grep -Eq "DW_AT_name +: (\(indirect string, offset: 0x[0-9a-f]+\): )?$name\$" <<<"$info" ||
    fail "no debug entry named $name"
done

for file in firmware.bin firmware.hex; do
  cmp -s "$with/$file" "$without/$file" || fail "$file differs with and without debug information"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "firmware debug information: all checks passed"
