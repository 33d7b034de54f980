#include "options.h"

#include "gbk_text.h"

namespace {

constexpr char CANNOT_OPEN[] = "cannot open this file.";
constexpr char ERROR_CANNOT_OPEN[] = "Error! Cannot open this file.";
constexpr uint16_t FAST_B = 0x4000;
constexpr uint32_t NU = static_cast<uint32_t>(N);

using H = HeaderVariant;
using W = Waveform;
using C = Conversion;
using L = EntryLayout;
using B = BreakRule;

// clang-format off
const OptionRow OPTION_ROWS[OPTION_COUNT] = {
    // file name                      open failure       header        wave       +1V    conversion            bits    layout       q from, below   stepped  break
    {"sin_ROM.txt",                   CANNOT_OPEN,       H::Plain,      W::Sine,   false, C::Tlv5617,           0,      L::Single,   1, NU + 1,      false,   B::Index},
    {"cos_ROM.txt",                   ERROR_CANNOT_OPEN, H::Plain,      W::Cosine, false, C::Tlv5617,           0,      L::Single,   1, NU + 1,      false,   B::Index},
    {"TLV5617_fast_sin_ROM.txt",      CANNOT_OPEN,       H::Width16,    W::Sine,   false, C::Tlv5617,           FAST_B, L::Single,   1, NU + 1,      false,   B::Index},
    {"TLV5617_fast_sin_ROM_2.txt",    CANNOT_OPEN,       H::Width8,     W::Sine,   false, C::Tlv5617,           FAST_B, L::BytePair, 1, NU + 1,      false,   B::Index},
    {FILE_TLV5618_SINE,               CANNOT_OPEN,       H::Width8,     W::Sine,   false, C::Tlv5618,           FAST_B, L::BytePair, 1, NU + 1,      false,   B::Index},
    {FILE_TLV5618_SINE_SQUARE,        CANNOT_OPEN,       H::Width8,     W::Sine,   true,  C::Tlv5618,           FAST_B, L::BytePair, 1, NU,          false,   B::Index},
    {FILE_TLV5618_STEP_SINE,          CANNOT_OPEN,       H::Width8Step, W::Sine,   false, C::Tlv5618,           FAST_B, L::BytePair, 1, NU,          true,    B::Count},
    {FILE_TLV5618_STEP_SINE_SQUARE,   CANNOT_OPEN,       H::Width8Step, W::Sine,   true,  C::Tlv5618,           FAST_B, L::BytePair, 1, NU,          true,    B::Count},
    {FILE_DAC12_SINE,                 CANNOT_OPEN,       H::Width12,    W::Sine,   false, C::Dac12Hundredths,   0,      L::Single,   0, NU,          false,   B::Index},
};
// clang-format on

}  // namespace

const OptionRow* option_row(int32_t number)
{
    // Taken as unsigned, every negative number is out of range as well.
    const uint32_t n = static_cast<uint32_t>(number);
    if (n == 0 || n > OPTION_COUNT) {
        return nullptr;
    }
    return &OPTION_ROWS[n - 1];
}

uint32_t voltage_code(const OptionRow* row, double v)
{
    switch (row->conversion) {
    case Conversion::Tlv5617:
        return static_cast<uint16_t>(DAC_V2Code_5617(v) | row->control_bits);
    case Conversion::Tlv5618:
        return static_cast<uint16_t>(DAC_V2Code_5618(v) | row->control_bits);
    case Conversion::Dac12Hundredths:
        break;
    }
    return DAC12_V2Int_121(hundredths(v)) | row->control_bits;
}

uint32_t entry_value(const OptionRow* row, uint32_t q)
{
    return voltage_code(row, sample_voltage(q, row->waveform, row->plus_one_volt));
}

void write_entries(TableOut* out, const OptionRow* row, uint32_t step)
{
    const uint32_t advance = row->stepped ? step : 1;
    if (advance == 0) {
        return;  // would never reach the end of the range
    }
    uint32_t count = 0;
    for (uint32_t q = row->first_q; q < row->end_q; q += advance) {
        if (line_end_due(row->line_break, q, ++count)) {
            write_line_end(out);
        }
        const uint32_t value = entry_value(row, q);
        if (row->layout == EntryLayout::BytePair) {
            write_byte_pair(out, static_cast<uint16_t>(value));
        } else {
            write_single(out, static_cast<int32_t>(value));
        }
    }
}
