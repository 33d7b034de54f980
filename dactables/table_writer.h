// The ROM table text format: header variants, entry layouts and line-break
// rules. Text is formatted into one block and handed to the file in large
// writes; every line end is CR LF, whatever the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

enum class HeaderVariant { Plain, Width16, Width8, Width8Step, Width12 };
enum class EntryLayout { Single, BytePair };
enum class BreakRule { Index, Count };

inline constexpr std::size_t TABLE_BLOCK_SIZE = 32768;

// One table being written. The file must be open in binary mode.
struct TableOut {
    FILE* file;
    bool failed;  // a write went wrong; the rest is not written
    std::size_t used;
    // The text of the last single entry: neighbouring samples often share
    // their code, and copying is cheaper than formatting again.
    bool has_last_single;
    int32_t last_single;
    char last_single_text[8];
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
inline bool line_end_due(BreakRule rule, uint32_t q, uint32_t count)
{
    return rule == BreakRule::Index ? q % 10 == 0 : count % 5 == 0;
}
void write_line_end(TableOut* out);

// "%6d ," for every byte, made at compile time: a byte pair is two of these
// with a blank between, and most tables are byte pairs.
inline constexpr std::size_t BYTE_ENTRY_LENGTH = 8;

struct ByteEntries {
    char text[256][BYTE_ENTRY_LENGTH];
};

constexpr ByteEntries make_byte_entries()
{
    ByteEntries entries{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        char* entry = entries.text[byte];
        for (std::size_t i = 0; i < 6; ++i) {
            entry[i] = ' ';
        }
        std::size_t i = 6;
        unsigned rest = byte;
        do {
            entry[--i] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        entry[6] = ' ';
        entry[7] = ',';
    }
    return entries;
}

inline constexpr ByteEntries BYTE_ENTRIES = make_byte_entries();

// Hands the block to the file, then writes the pair.
void write_byte_pair_after_flush(TableOut* out, uint16_t word);

// "%6d , %6d ," (high byte, then low byte of the word). Inline: most tables
// are byte pairs, and a call would cost as much as the copying.
inline void write_byte_pair(TableOut* out, uint16_t word)
{
    constexpr std::size_t length = 2 * BYTE_ENTRY_LENGTH + 1;
    if (TABLE_BLOCK_SIZE - out->used < length) {
        write_byte_pair_after_flush(out, word);
        return;
    }
    char* p = out->block + out->used;
    std::memcpy(p, BYTE_ENTRIES.text[word >> 8], BYTE_ENTRY_LENGTH);
    p[BYTE_ENTRY_LENGTH] = ' ';
    std::memcpy(p + BYTE_ENTRY_LENGTH + 1, BYTE_ENTRIES.text[word & 0xFF], BYTE_ENTRY_LENGTH);
    out->used += length;
}

// "%6d ,", formatted; write_single below repeats the last text when it can.
void write_single_formatted(TableOut* out, int32_t value);

// "%6d ,". Inline, because most entries of a single-number table repeat the
// one before (neighbouring samples share their code) and copying its text
// costs a fraction of a call that formats it again.
inline void write_single(TableOut* out, int32_t value)
{
    constexpr std::size_t length = sizeof out->last_single_text;
    if (out->has_last_single && value == out->last_single && TABLE_BLOCK_SIZE - out->used >= length) {
        std::memcpy(out->block + out->used, out->last_single_text, length);
        out->used += length;
        return;
    }
    write_single_formatted(out, value);
}

// Hands the rest to the file, which stays open. False when any write or the
// flush failed: the file is then incomplete.
bool table_flush(TableOut* out);

// Hands the rest to the file and closes it. False when any write, the flush or
// the close failed: the file is then incomplete.
bool table_close(TableOut* out);
