// The nine table kinds the generator writes, the converters behind them and
// what a header allows: which values, how many entries, which kinds fit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table_format.h"

enum class Converter { Tlv5617, Tlv5618, Dac12 };

// Reference voltages of the generator's converter models.
inline constexpr double TLV_REF_VOLTS = 1.49;    // TLV5617A and TLV5618, full scale twice this
inline constexpr double DAC12_REF_VOLTS = 1.50;  // DAC12, full scale this

// Why a value cannot stand in a table with this header, or nullptr. Byte-pair
// tables are checked by their word.
const char* value_problem(Header header, uint32_t value);

// Why the number of entries fits no kind with this header, or "".
std::string count_problem(const Table& table);

// The menu numbers (1 to 9) whose header, values and entry count fit the table.
// Options 1 and 2 (sine or cosine) both fit a plain table; 4 and 5 both fit
// a WIDTH = 8 table whose codes are all multiples of 4. Options 5 and 6, and
// 7 and 8, are told apart by the 1 V offset of 6 and 8.
std::vector<int> fitting_options(const Table& table);

Converter converter_of(int option);
const char* converter_name(Converter converter);
bool has_control_bit(int option);

// The converter's code of an entry: the word without its control bits.
uint32_t code_of(int option, uint32_t value);

// Output voltage of a code: TLV5617A 2 * 1.49 V * (code >> 2) / 1024, TLV5618
// 2 * 1.49 V * code / 4096, DAC12 1.50 V * code / 4096.
double volts(Converter converter, uint32_t code);

// The converter's output range: 2 * 1.49 V for the TLV converters, 1.50 V for
// the DAC12. A full-scale sine swings over all of it.
double full_scale_volts(Converter converter);
