// The nine table kinds of the menu, as data: what each writes and where.
#pragma once

#include <cstdint>

#include "table_writer.h"
#include "waveform.h"

enum class Conversion {
    Tlv5617,           // DAC_V2Code_5617
    Tlv5618,           // DAC_V2Code_5618
    Dac12Hundredths,   // hundredths, then DAC12_V2Int_121
};

struct OptionRow {
    const char* file_name;             // GBK bytes, handed to fopen as they are
    const char* open_failure_message;  // printed when the file cannot be opened
    HeaderVariant header;
    Waveform waveform;
    bool plus_one_volt;
    Conversion conversion;
    uint16_t control_bits;  // ORed into TLV codes (0x4000: fast channel B)
    EntryLayout layout;
    uint32_t first_q;
    uint32_t end_q;         // entries are written while q < end_q
    bool stepped;           // q advances by the STEP read from the console, else by 1
    BreakRule line_break;
};

inline constexpr int OPTION_COUNT = 9;

// The row of a menu number, or nullptr for anything but 1 to 9.
const OptionRow* option_row(int32_t number);

// The number one entry holds: the TLV code or word, or the DAC12 code.
uint32_t entry_value(const OptionRow* row, uint32_t q);
// The value a row writes for voltage v: its conversion and control bits.
uint32_t voltage_code(const OptionRow* row, double v);

// Every entry of the row's table, each after its line-break rule. step is the
// distance between the indices of a stepped row (unsigned: negative steps wrap
// around) and is not used by the others; a step of 0 writes nothing.
void write_entries(TableOut* out, const OptionRow* row, uint32_t step);
