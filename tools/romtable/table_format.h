// Reading a DAC table file strictly: its header, the entry stream with the
// line-break rule of its header, and every value against the converter the
// header names. Every deviation is a Problem with its line and column; the
// reader never gives up with an exception and never reads past the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class Header {
    Plain,       // DEPTH, CONTENT BEGIN: TLV5617A codes (options 1, 2)
    Width16,     // whole TLV5617A words with 0x4000 (option 3)
    Width8,      // byte pairs of TLV words (options 4, 5, 6)
    Width8Step,  // byte pairs, every STEP-th sample (options 7, 8)
    Width12,     // MSP430 DAC12 codes (option 9)
};

struct Problem {
    int line;    // 1-based
    int column;  // 1-based, in bytes
    std::string message;
};

struct Table {
    Header header = Header::Plain;
    int32_t depth = 0;
    int32_t step = 0;              // only in Width8Step tables
    std::vector<uint32_t> values;  // one per entry; a byte pair is its 16-bit word
    std::vector<uint32_t> indices; // the sample index q of each entry
};

struct CheckResult {
    bool header_read = false;  // the header was understood, `table` says which
    Table table;
    std::vector<Problem> problems;
    // Every line end is LF alone: the table's CR LF were turned into LF (by
    // git or an editor) and nothing else need be wrong. The rest is checked
    // as if they were CR LF; `lf_line`, `lf_column` place the first one.
    bool lf_line_ends = false;
    int lf_line = 0;
    int lf_column = 0;
    // A sound table, byte for byte as the generator writes it.
    bool ok() const { return readable() && !lf_line_ends; }
    // Sound apart from LF line ends: its values can be read.
    bool readable() const { return header_read && problems.empty(); }
};

// Points per period: the DEPTH of every table, however many entries follow.
inline constexpr int32_t TABLE_DEPTH = 4096;

// At most this many problems are listed; a last one says how many were left out.
inline constexpr std::size_t MAX_PROBLEMS = 50;

CheckResult check_table(std::string_view bytes);

// "WIDTH = 8 with STEP" and the like, for messages.
const char* header_name(Header header);

// Whether each entry is a byte pair (two numbers) rather than one number.
bool has_byte_pairs(Header header);
