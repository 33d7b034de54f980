// One period of the waveform and the converters' codes for its samples.
// Pure, and inline because the tables call them once per entry. The tables
// depend on every rounding step here, so each formula keeps its order of
// operations.
#pragma once

#include <cmath>
#include <cstdint>

#include "period_sine.h"

inline constexpr int32_t N = 4096;           // points per period, and DEPTH of every table
inline constexpr double PI_7 = 3.1415926;    // pi to seven decimals, as the tables were made
inline constexpr double DAC_V = 0.5;         // the sample swings over 0 ... 2 * DAC_V volts
inline constexpr double DAC_REF = 1.49;      // TLV5617A / TLV5618 reference, volts
inline constexpr int32_t VOLTAGE_REF = 150;  // DAC12 reference, hundredths of a volt

enum class Waveform { Sine, Cosine };

// Voltage of sample q; with_offset lifts the whole period by 1 V.
inline double sample_voltage(uint32_t q, Waveform waveform, bool with_offset)
{
    // 2*q wraps like the unsigned index it comes from; the product with pi is
    // formed before the division, which decides the last bits of the angle.
    const double angle = static_cast<double>(2u * q) * PI_7 / N;
    double s = 0;
    // Every table angle lies in one period; only wrapped indices fall outside.
    if (angle <= PERIOD_SINE_MAX_ANGLE) {
        s = waveform == Waveform::Sine ? period_sin(angle) : period_cos(angle);
    } else {
        s = waveform == Waveform::Sine ? std::sin(angle) : std::cos(angle);
    }
    double v = (s + 1) * DAC_V;
    if (with_offset) {
        v = v + 1;
    }
    return v;
}

// TLV5617A: 10-bit code in bits 11..2; 0 outside 0 <= v < 2 * DAC_REF.
inline int DAC_V2Code_5617(double v)
{
    if (v >= 2 * DAC_REF || v < 0) {
        return 0;
    }
    return static_cast<int>(v * 512 / DAC_REF) << 2;
}

// TLV5618: 12-bit code in bits 11..0; 0 outside 0 <= v < 2 * DAC_REF.
inline int DAC_V2Code_5618(double v)
{
    if (v >= 2 * DAC_REF || v < 0) {
        return 0;
    }
    return static_cast<int>(v * 2048 / DAC_REF);
}

// Voltage in hundredths of a volt, truncated (0 for anything below zero).
inline uint32_t hundredths(double v)
{
    const double h = v * 100;
    // Converting a value outside uint32_t is undefined; no sample comes near
    // either end, but the function stays total.
    if (!(h > 0)) {
        return 0;
    }
    if (h >= 4294967296.0) {
        return UINT32_MAX;
    }
    return static_cast<uint32_t>(h);
}

// MSP430x2xx DAC12: named after resolution (12 or 8 bits) and full scale
// (1 or 3 times VOLTAGE_REF). Unsigned arithmetic, shift before divide.
inline uint32_t DAC12_V2Int_121(uint32_t u)
{
    return (u << 12) / static_cast<uint32_t>(VOLTAGE_REF);
}

inline uint32_t DAC12_V2Int_123(uint32_t u)
{
    return (u << 12) / static_cast<uint32_t>(3 * VOLTAGE_REF);
}

inline uint32_t DAC12_V2Int_81(uint32_t u)
{
    return (u << 8) / static_cast<uint32_t>(VOLTAGE_REF);
}

inline uint32_t DAC12_V2Int_83(uint32_t u)
{
    return (u << 8) / static_cast<uint32_t>(3 * VOLTAGE_REF);
}
