#include "waveform.h"

#include <cmath>

double sample_voltage(uint32_t q, Waveform waveform, bool with_offset)
{
    // 2*q wraps like the unsigned index it comes from; the product with pi is
    // formed before the division, which decides the last bits of the angle.
    const double angle = static_cast<double>(2u * q) * PI_7 / N;
    const double s = waveform == Waveform::Sine ? std::sin(angle) : std::cos(angle);
    double v = (s + 1) * DAC_V;
    if (with_offset) {
        v = v + 1;
    }
    return v;
}

int DAC_V2Code_5617(double v)
{
    if (v >= 2 * DAC_REF || v < 0) {
        return 0;
    }
    return static_cast<int>(v * 512 / DAC_REF) << 2;
}

int DAC_V2Code_5618(double v)
{
    if (v >= 2 * DAC_REF || v < 0) {
        return 0;
    }
    return static_cast<int>(v * 2048 / DAC_REF);
}

uint32_t hundredths(double v)
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

uint32_t DAC12_V2Int_121(uint32_t u)
{
    return (u << 12) / static_cast<uint32_t>(VOLTAGE_REF);
}

uint32_t DAC12_V2Int_123(uint32_t u)
{
    return (u << 12) / static_cast<uint32_t>(3 * VOLTAGE_REF);
}

uint32_t DAC12_V2Int_81(uint32_t u)
{
    return (u << 8) / static_cast<uint32_t>(VOLTAGE_REF);
}

uint32_t DAC12_V2Int_83(uint32_t u)
{
    return (u << 8) / static_cast<uint32_t>(3 * VOLTAGE_REF);
}
