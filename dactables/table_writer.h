// The ROM table text format: header variants, entry layouts and line-break
// rules. Text is formatted into one block and handed to the file in large
// writes; every line end is CR LF, whatever the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

enum class HeaderVariant { Plain, Width16, Width8, Width8Step, Width12 };
enum class EntryLayout { Single, BytePair };
enum class BreakRule { Index, Count };

inline constexpr std::size_t TABLE_BLOCK_SIZE = 32768;

// One table being written. The file must be open in binary mode.
struct TableOut {
    FILE* file;
    bool failed;  // a write went wrong; the rest is not written
    std::size_t used;
    char block[TABLE_BLOCK_SIZE];
};

void table_begin(TableOut* out, FILE* file);

// The header in two pieces, so that the step can be asked for in between:
// the WIDTH and DEPTH lines, then the STEP line (step variant only) and the
// CONTENT lines.
void write_header_top(TableOut* out, HeaderVariant variant, int32_t depth);
void write_header_rest(TableOut* out, HeaderVariant variant, int32_t step);

// Whether a line end goes before the entry with index q or, for the count
// rule, before the entry that brings the count to `count`.
bool line_end_due(BreakRule rule, uint32_t q, uint32_t count);
void write_line_end(TableOut* out);

// "%6d ," and "%6d , %6d ," (high byte, then low byte of the word).
void write_single(TableOut* out, int32_t value);
void write_byte_pair(TableOut* out, uint16_t word);

// Hands the rest to the file and closes it. False when any write, the flush or
// the close failed: the file is then incomplete.
bool table_close(TableOut* out);
