// The A/D converter on its own, at its register offsets (user manual, "A/D
// Converter"): results and their timing, burst and overrun, the interrupt
// request, the clock limit and the inputs it cannot read.
#include <gtest/gtest.h>

#include <optional>

#include "peripherals/adc.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t ADCR = 0x00, ADDR = 0x04;
constexpr double kPclk = 11059200.0 / 4;  // the fake board's peripheral clock
constexpr uint32_t kOperational = 1u << 21, kBurst = 1u << 16, kStartNow = 1u << 24;
constexpr uint32_t kDone = 1u << 31, kOverrun = 1u << 30;

uint32_t resultOf(uint32_t addr)
{
    return (addr >> 6) & 0x3FF;
}

uint32_t channelOf(uint32_t addr)
{
    return (addr >> 24) & 0x7;
}

struct Converter {
    Converter()
    {
        adc.model.input = [this](unsigned channel) -> std::optional<double> {
            if (!connected[channel]) {
                return std::nullopt;
            }
            return volts[channel];
        };
    }
    ModelUnderTest<Adc> adc;
    double volts[8] = {0.0, 1.65, 3.3, 0.8, 0, 0, 0, 0};
    bool connected[8] = {true, true, true, true, true, true, true, true};
};

}  // namespace

TEST(Adc, ConvertsTheSelectedInputInElevenClocksOfItsDividedClock)
{
    Converter c;
    // AIN1, pclk / 2: 11 clocks of 1.3824 MHz.
    c.adc.write(ADCR, kOperational | kStartNow | (1u << 8) | 0x02);
    const double conversion = 11 * 2 / kPclk;
    c.adc.services.advanceTo(conversion * 0.99);
    EXPECT_EQ(c.adc.read(ADDR) & kDone, 0u) << "not done before its 11 clocks";
    EXPECT_FALSE(c.adc.irq);
    c.adc.services.advanceTo(conversion * 1.01);
    EXPECT_TRUE(c.adc.irq) << "the request rises with DONE";
    const uint32_t addr = c.adc.read(ADDR);
    EXPECT_NE(addr & kDone, 0u);
    EXPECT_EQ(resultOf(addr), 512u);  // 1.65 V of 3.3 V
    EXPECT_EQ(channelOf(addr), 1u);
    EXPECT_FALSE(c.adc.irq) << "reading ADDR drops the request";
    EXPECT_EQ(c.adc.read(ADDR) & kDone, 0u) << "and clears DONE";
    EXPECT_EQ(resultOf(c.adc.read(ADDR)), 512u) << "the result stays";

    // Full scale, and fewer bits in fewer clocks: CLKS = 7 is 3 bits in 4.
    c.adc.write(ADCR, kOperational | kStartNow | (7u << 17) | 0x04);
    c.adc.services.advanceTo(c.adc.services.time + 4 / kPclk * 1.01);
    EXPECT_EQ(resultOf(c.adc.read(ADDR)), 0x380u) << "3.3 V to 3 bits, the low 7 reading 0";
    c.volts[3] = 0.8;
    c.adc.write(ADCR, kOperational | kStartNow | 0x08);
    c.adc.services.advanceTo(c.adc.services.time + 11 / kPclk * 1.01);
    EXPECT_EQ(resultOf(c.adc.read(ADDR)), 248u);  // floor(0.8 / 3.3 * 1024)
}

TEST(Adc, WritingAdcrClearsDoneAndItsRequest)
{
    Converter c;
    c.adc.write(ADCR, kOperational | kStartNow | 0x01);
    c.adc.services.advanceTo(1e-3);
    EXPECT_TRUE(c.adc.irq);
    c.adc.write(ADCR, kOperational | 0x01);
    EXPECT_FALSE(c.adc.irq);
    EXPECT_EQ(c.adc.read(ADDR) & kDone, 0u);
}

TEST(Adc, BurstConvertsTheSelectedChannelsInTurnAndTellsOfOverruns)
{
    Converter c;
    const double conversion = 11 / kPclk;
    c.adc.write(ADCR, kOperational | kBurst | 0x0E);  // AIN1, AIN2, AIN3
    std::vector<uint32_t> channels;
    for (int n = 1; n <= 6; ++n) {
        c.adc.services.advanceTo(conversion * (n + 0.5));
        const uint32_t addr = c.adc.read(ADDR);
        EXPECT_NE(addr & kDone, 0u);
        EXPECT_EQ(addr & kOverrun, 0u) << "each result read before the next";
        channels.push_back(channelOf(addr));
    }
    EXPECT_EQ(channels, (std::vector<uint32_t>{1, 2, 3, 1, 2, 3}));

    // Two conversions unread: the second overwrote the first.
    c.adc.services.advanceTo(conversion * 8.5);
    const uint32_t addr = c.adc.read(ADDR);
    EXPECT_NE(addr & kOverrun, 0u);
    EXPECT_EQ(channelOf(addr), 2u);  // the 8th: AIN1, AIN2, AIN3, ... AIN2
    EXPECT_EQ(c.adc.read(ADDR) & kOverrun, 0u) << "reading ADDR clears OVERRUN";

    // BURST cleared: the conversion under way (the 10th) ends, no other
    // starts.
    c.adc.services.advanceTo(conversion * 9.2);
    c.adc.write(ADCR, kOperational | 0x0E);
    c.adc.services.advanceTo(conversion * 10.5);
    EXPECT_TRUE(c.adc.irq);
    EXPECT_EQ(channelOf(c.adc.read(ADDR)), 1u);
    c.adc.services.advanceTo(conversion * 20);
    EXPECT_FALSE(c.adc.irq);
    EXPECT_EQ(c.adc.read(ADDR) & kDone, 0u);
}

TEST(Adc, ItsClockAbove4point5MHzIsAWarning)
{
    Converter c;
    c.adc.services.pclk = [] { return 11059200.0; };
    c.adc.write(ADCR, kOperational | kStartNow | (1u << 8) | 0x01);  // 5.53 MHz
    ASSERT_EQ(c.adc.services.warnings.size(), 1u);
    EXPECT_EQ(c.adc.services.warnings[0], "A/D converter clocked at 5.5296 MHz (pclk 11.0592 MHz / (CLKDIV + 1 = 2)), "
                                          "above the 4.5 MHz the user manual allows");
    c.adc.write(ADCR, kOperational | kStartNow | (2u << 8) | 0x01);  // 3.69 MHz
    EXPECT_EQ(c.adc.services.warnings.size(), 1u);
}

TEST(Adc, PoweredDownOrCutOffFromItsPinItConvertsNothingValid)
{
    Converter c;
    c.adc.write(ADCR, kStartNow | 0x02);  // PDN = 0
    c.adc.services.advanceTo(1e-3);
    EXPECT_EQ(c.adc.read(ADDR) & kDone, 0u);
    EXPECT_EQ(c.adc.services.warnings.size(), 1u);

    c.connected[1] = false;
    c.adc.write(ADCR, kOperational | kStartNow | 0x02);
    c.adc.services.advanceTo(2e-3);
    const uint32_t addr = c.adc.read(ADDR);
    EXPECT_NE(addr & kDone, 0u);
    EXPECT_EQ(resultOf(addr), 0u);
    ASSERT_EQ(c.adc.services.warnings.size(), 2u);
    EXPECT_NE(c.adc.services.warnings[1].find("AIN1"), std::string::npos);
}

TEST(Adc, StartsOnAnEdgeAreRefusedByName)
{
    Converter c;
    c.adc.write(ADCR, kOperational | (4u << 24) | 0x01);
    ASSERT_EQ(c.adc.services.faults.size(), 1u);
    EXPECT_NE(c.adc.services.faults[0].find("MAT0.1"), std::string::npos) << c.adc.services.faults[0];
}
