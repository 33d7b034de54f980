#include "kinds.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr uint32_t CONTROL_BIT = 0x4000;

bool tlv5617_code(uint32_t code)
{
    return code % 4 == 0 && code <= 4092;
}

bool all_tlv5617_words(const Table& table)
{
    return std::all_of(table.values.begin(), table.values.end(),
                       [](uint32_t value) { return tlv5617_code(value & 0x0FFF); });
}

// Options 6 and 8 lift the sine by 1 V: 1 ... 2 V, mean 1.5 V, against
// 0.5 V for the others.
bool lifted_by_one_volt(const Table& table)
{
    const double sum = std::accumulate(table.values.begin(), table.values.end(), 0.0, [](double total, uint32_t value) {
        return total + volts(Converter::Tlv5618, value & 0x0FFF);
    });
    return !table.values.empty() && sum / static_cast<double>(table.values.size()) > 1.0;
}

// Entries of a step table: q = 1, 1 + STEP, ... while q < DEPTH, in unsigned
// arithmetic, as the generator counts them (negative steps wrap around).
uint64_t step_entries(int32_t depth, int32_t step)
{
    if (step > 0) {
        return depth <= 1 ? 0 : (static_cast<uint64_t>(depth) - 2) / static_cast<uint64_t>(step) + 1;
    }
    uint64_t count = 0;
    for (uint32_t q = 1; q < static_cast<uint32_t>(depth) && count < 4; q += static_cast<uint32_t>(step)) {
        ++count;
    }
    return count;
}

}  // namespace

const char* value_problem(Header header, uint32_t value)
{
    switch (header) {
    case Header::Plain:
        return tlv5617_code(value) ? nullptr : "a TLV5617A code is a multiple of 4 from 0 to 4092";
    case Header::Width16:
        return (value & ~0x0FFFu) == CONTROL_BIT && tlv5617_code(value & 0x0FFF)
                   ? nullptr
                   : "a WIDTH = 16 word is 0x4000 (fast channel B) plus a TLV5617A code "
                     "(a multiple of 4 up to 4092): 16384 to 20476";
    case Header::Width8:
    case Header::Width8Step:
        return (value & ~0x0FFFu) == CONTROL_BIT
                   ? nullptr
                   : "the high byte of a TLV word carries 0x40 (fast channel B) and code bits 11 to 8: 64 to 79";
    case Header::Width12:
        return value <= 4095 ? nullptr : "a DAC12 code is 0 to 4095";
    }
    return nullptr;
}

std::vector<int> fitting_options(const Table& table)
{
    const auto entries = static_cast<uint64_t>(table.values.size());
    const auto depth = static_cast<uint64_t>(table.depth);
    std::vector<int> options;
    switch (table.header) {
    case Header::Plain:
        if (entries == depth) {
            options = {1, 2};
        }
        break;
    case Header::Width16:
        if (entries == depth) {
            options = {3};
        }
        break;
    case Header::Width8:
        if (lifted_by_one_volt(table)) {
            if (entries + 1 == depth) {
                options = {6};
            }
        } else if (entries == depth) {
            if (all_tlv5617_words(table)) {
                options.push_back(4);
            }
            options.push_back(5);
        }
        break;
    case Header::Width8Step:
        if (entries == step_entries(table.depth, table.step)) {
            options = {lifted_by_one_volt(table) ? 8 : 7};
        }
        break;
    case Header::Width12:
        if (entries == depth) {
            options = {9};
        }
        break;
    }
    return options;
}

std::string count_problem(const Table& table)
{
    if (!fitting_options(table).empty()) {
        return "";
    }
    const std::string have = std::to_string(table.values.size()) + " entries, but ";
    const std::string depth = std::to_string(table.depth);
    switch (table.header) {
    case Header::Width8:
        return have + "a WIDTH = 8 table with DEPTH = " + depth + " holds " + depth +
               " of a 0 to 1 V sine (options 4, 5) or " + std::to_string(table.depth - 1) +
               " of a 1 to 2 V sine (option 6); this one's mean is " + (lifted_by_one_volt(table) ? "above" : "below") +
               " 1 V";
    case Header::Width8Step:
        return have + "DEPTH = " + depth + " and STEP = " + std::to_string(table.step) + " make " +
               std::to_string(step_entries(table.depth, table.step));
    default:
        return have + "DEPTH = " + depth + " says " + depth;
    }
}

Converter converter_of(int option)
{
    if (option <= 4) {
        return Converter::Tlv5617;
    }
    return option == 9 ? Converter::Dac12 : Converter::Tlv5618;
}

const char* converter_name(Converter converter)
{
    switch (converter) {
    case Converter::Tlv5617:
        return "TLV5617A";
    case Converter::Tlv5618:
        return "TLV5618";
    case Converter::Dac12:
        return "MSP430x2xx DAC12";
    }
    return "?";
}

bool has_control_bit(int option)
{
    return option >= 3 && option <= 8;
}

uint32_t code_of(int option, uint32_t value)
{
    return has_control_bit(option) ? value & 0x0FFF : value;
}

double volts(Converter converter, uint32_t code)
{
    switch (converter) {
    case Converter::Tlv5617:
        return 2 * TLV_REF_VOLTS * static_cast<double>(code >> 2) / 1024;
    case Converter::Tlv5618:
        return 2 * TLV_REF_VOLTS * static_cast<double>(code) / 4096;
    case Converter::Dac12:
        return DAC12_REF_VOLTS * static_cast<double>(code) / 4096;
    }
    return 0;
}

double full_scale_volts(Converter converter)
{
    return converter == Converter::Dac12 ? DAC12_REF_VOLTS : 2 * TLV_REF_VOLTS;
}
