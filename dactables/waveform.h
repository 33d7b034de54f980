// One period of the waveform and the converters' codes for its samples.
// Pure functions; the tables depend on every rounding step here, so each
// formula keeps its order of operations.
#pragma once

#include <cstdint>

inline constexpr int32_t N = 4096;           // points per period, and DEPTH of every table
inline constexpr double PI_7 = 3.1415926;    // pi to seven decimals, as the tables were made
inline constexpr double DAC_V = 0.5;         // the sample swings over 0 ... 2 * DAC_V volts
inline constexpr double DAC_REF = 1.49;      // TLV5617A / TLV5618 reference, volts
inline constexpr int32_t VOLTAGE_REF = 150;  // DAC12 reference, hundredths of a volt

enum class Waveform { Sine, Cosine };

// Voltage of sample q; with_offset lifts the whole period by 1 V.
double sample_voltage(uint32_t q, Waveform waveform, bool with_offset);

// TLV5617A: 10-bit code in bits 11..2; 0 outside 0 <= v < 2 * DAC_REF.
int DAC_V2Code_5617(double v);
// TLV5618: 12-bit code in bits 11..0; 0 outside 0 <= v < 2 * DAC_REF.
int DAC_V2Code_5618(double v);

// Voltage in hundredths of a volt, truncated (0 for anything below zero).
uint32_t hundredths(double v);

// MSP430x2xx DAC12: named after resolution (12 or 8 bits) and full scale
// (1 or 3 times VOLTAGE_REF). Unsigned arithmetic, shift before divide.
uint32_t DAC12_V2Int_121(uint32_t u);
uint32_t DAC12_V2Int_123(uint32_t u);
uint32_t DAC12_V2Int_81(uint32_t u);
uint32_t DAC12_V2Int_83(uint32_t u);
