// The program's own sine against the C library's, computed here at run time:
// every entry of every option must come out the same, and the sines
// themselves within one ulp.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "options.h"
#include "period_sine.h"
#include "waveform.h"

namespace {

// sample_voltage with std::sin and std::cos, the same steps otherwise.
double libm_voltage(uint32_t q, Waveform waveform, bool with_offset)
{
    const double angle = static_cast<double>(2u * q) * PI_7 / N;
    const double s = waveform == Waveform::Sine ? std::sin(angle) : std::cos(angle);
    double v = (s + 1) * DAC_V;
    if (with_offset) {
        v = v + 1;
    }
    return v;
}

// entry_value on the C library's voltage, through the program's converters.
uint32_t libm_entry(const OptionRow* row, uint32_t q)
{
    return voltage_code(row, libm_voltage(q, row->waveform, row->plus_one_volt));
}

bool within_one_ulp(double a, double b)
{
    return a == b || std::nextafter(a, b) == b;
}

}  // namespace

TEST(PeriodSine, EveryEntryOfEveryOptionAsWithTheCLibrary)
{
    for (int32_t option = 1; option <= OPTION_COUNT; ++option) {
        const OptionRow* row = option_row(option);
        // Step 1 visits every index the stepped options can reach.
        uint32_t compared = 0;
        for (uint32_t q = row->first_q; q < row->end_q; ++q) {
            ASSERT_EQ(entry_value(row, q), libm_entry(row, q)) << "option " << option << ", q = " << q;
            ++compared;
        }
        EXPECT_GE(compared, 4095u) << "option " << option;
    }
}

TEST(PeriodSine, WithinOneUlpOfTheCLibrary)
{
    for (uint32_t q = 0; q <= static_cast<uint32_t>(N); ++q) {
        const double angle = static_cast<double>(2u * q) * PI_7 / N;
        ASSERT_TRUE(within_one_ulp(period_sin(angle), std::sin(angle))) << "q = " << q;
        ASSERT_TRUE(within_one_ulp(period_cos(angle), std::cos(angle))) << "q = " << q;
    }
    // And anywhere in the range the functions are meant for.
    std::mt19937_64 random(4096);
    std::uniform_real_distribution<double> angles(0.0, PERIOD_SINE_MAX_ANGLE);
    for (int i = 0; i < 100000; ++i) {
        const double angle = angles(random);
        ASSERT_TRUE(within_one_ulp(period_sin(angle), std::sin(angle))) << angle;
        ASSERT_TRUE(within_one_ulp(period_cos(angle), std::cos(angle))) << angle;
    }
}

TEST(PeriodSine, ExactWhereTheTablesNeedIt)
{
    EXPECT_EQ(period_sin(0.0), 0.0);  // q = 0 of the DAC12 table: exactly 50 hundredths
    EXPECT_EQ(period_cos(0.0), 1.0);
    // The top of the sine: just below 1, so that the DAC12 table writes 99
    // hundredths there, as the C library's sine makes it.
    const double top = static_cast<double>(2u * 1024) * PI_7 / N;
    EXPECT_EQ(period_sin(top), std::sin(top));
    EXPECT_LT(period_sin(top), 1.0);
}
