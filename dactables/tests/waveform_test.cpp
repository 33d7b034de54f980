// Sampling and the converters' codes at their edges. Expected values are
// worked out by hand from the converters' formulas, not taken from the code.
#include <gtest/gtest.h>

#include "options.h"
#include "waveform.h"

TEST(TlvConversion, FullScaleAndBelowZeroGiveZero)
{
    EXPECT_EQ(DAC_V2Code_5617(2.98), 0);
    EXPECT_EQ(DAC_V2Code_5618(2.98), 0);
    EXPECT_EQ(DAC_V2Code_5617(-0.001), 0);
    EXPECT_EQ(DAC_V2Code_5618(-0.001), 0);
    // Just inside full scale: 2.979 * 512 / 1.49 = 1023.66, 2.979 * 2048 / 1.49 = 4094.6
    EXPECT_EQ(DAC_V2Code_5617(2.979), 4092);
    EXPECT_EQ(DAC_V2Code_5618(2.979), 4094);
    EXPECT_EQ(DAC_V2Code_5617(0.0), 0);
}

TEST(TlvConversion, WholeVolts)
{
    EXPECT_EQ(DAC_V2Code_5617(1.0), 1372);  // 343.6 -> 343, shifted left by 2
    EXPECT_EQ(DAC_V2Code_5618(1.0), 1374);  // 1374.5 truncated
    EXPECT_EQ(DAC_V2Code_5618(2.0), 2748);
}

TEST(Dac12Conversion, AllFour)
{
    EXPECT_EQ(DAC12_V2Int_121(50), 1365u);   // 204800 / 150
    EXPECT_EQ(DAC12_V2Int_121(99), 2703u);   // 405504 / 150
    EXPECT_EQ(DAC12_V2Int_121(0), 0u);
    EXPECT_EQ(DAC12_V2Int_123(100), 910u);   // 409600 / 450
    EXPECT_EQ(DAC12_V2Int_81(100), 170u);    // 25600 / 150
    EXPECT_EQ(DAC12_V2Int_83(100), 56u);     // 25600 / 450: 8 bits, as named
    // Unsigned 32-bit arithmetic: the shift drops high bits before dividing.
    EXPECT_EQ(DAC12_V2Int_121(1u << 20), 0u);
    EXPECT_EQ(DAC12_V2Int_81(1u << 24), 0u);
}

TEST(Hundredths, TruncatesTowardZero)
{
    EXPECT_EQ(hundredths(0.5), 50u);
    EXPECT_EQ(hundredths(0.999), 99u);
    EXPECT_EQ(hundredths(0.0099), 0u);
    EXPECT_EQ(hundredths(-3.0), 0u);  // no wrap to a huge code
}

TEST(Sampling, FirstSampleAndItsCodes)
{
    const double v = sample_voltage(1, Waveform::Sine, false);
    EXPECT_NEAR(v, 0.50076699, 1e-8);  // (sin(2 pi / 4096) + 1) / 2
    EXPECT_EQ(DAC_V2Code_5617(v), 688);
    EXPECT_EQ(DAC_V2Code_5618(v), 688);
    const double lifted = sample_voltage(1, Waveform::Sine, true);
    EXPECT_EQ(DAC_V2Code_5618(lifted), 2062);  // 1.50076699 * 2048 / 1.49 = 2062.8
    EXPECT_EQ(DAC_V2Code_5617(sample_voltage(1, Waveform::Cosine, false)), 1372);
}

TEST(Sampling, ShortPiMissesTheTurningPoints)
{
    // With pi = 3.1415926 the full turn falls short: just below 0.5 V.
    const double full_turn = sample_voltage(N, Waveform::Sine, false);
    EXPECT_LT(full_turn, 0.5);
    EXPECT_NEAR(full_turn, 0.4999999464, 1e-10);
    // The top of the sine stays below 1 V, so it truncates to 99 hundredths.
    EXPECT_LT(sample_voltage(1024, Waveform::Sine, false), 1.0);
    EXPECT_EQ(hundredths(sample_voltage(1024, Waveform::Sine, false)), 99u);
    // The bottom is a hair above 0 V and gives code 0.
    const double bottom = sample_voltage(3072, Waveform::Sine, false);
    EXPECT_GT(bottom, 0.0);
    EXPECT_LT(bottom, 1e-14);
    EXPECT_EQ(DAC_V2Code_5617(bottom), 0);
    EXPECT_EQ(DAC_V2Code_5618(bottom), 0);
    EXPECT_EQ(hundredths(sample_voltage(0, Waveform::Sine, false)), 50u);
}

TEST(Sampling, DoubledIndexWrapsAsUnsigned)
{
    // 2 * 2^31 wraps to 0, so the angle is 0.
    EXPECT_EQ(sample_voltage(0x80000000u, Waveform::Sine, false), 0.5);
    EXPECT_EQ(sample_voltage(0x80000000u, Waveform::Cosine, true), 2.0);
}

TEST(OptionRows, NumbersOutsideOneToNineHaveNoRow)
{
    for (int32_t n : {0, 10, -1, -9, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(option_row(n), nullptr) << n;
    }
    for (int32_t n = 1; n <= 9; ++n) {
        EXPECT_NE(option_row(n), nullptr) << n;
    }
}

TEST(OptionRows, EntryValuesOfFirstSamples)
{
    EXPECT_EQ(entry_value(option_row(1), 1), 688u);
    EXPECT_EQ(entry_value(option_row(2), 1), 1372u);
    EXPECT_EQ(entry_value(option_row(3), 1), 17072u);  // 688 | 0x4000
    EXPECT_EQ(entry_value(option_row(5), 1), 17072u);
    EXPECT_EQ(entry_value(option_row(6), 1), 18446u);  // 2062 | 0x4000
    EXPECT_EQ(entry_value(option_row(8), 1), 18446u);
    EXPECT_EQ(entry_value(option_row(9), 0), 1365u);
    EXPECT_EQ(entry_value(option_row(9), 1024), 2703u);
}
