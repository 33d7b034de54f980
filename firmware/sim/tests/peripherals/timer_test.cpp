// Timer0 on its own, at its register offsets (user manual, "Timer0 and
// Timer1"): the prescaler, the counter and the match actions.
#include <gtest/gtest.h>

#include "peripherals/timer.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t IR = 0x00, TCR = 0x04, TC = 0x08, PR = 0x0C, MCR = 0x14, MR0 = 0x18;
constexpr double kPclk = 11059200.0 / 4;

}  // namespace

TEST(Timer, CountsThePeripheralClockThroughItsPrescaler)
{
    ModelUnderTest<Timer> t(0u);
    EXPECT_EQ(t.model.registerName(TC, false), "T0TC");
    t.write(PR, 9);  // TC every 10 pclk cycles
    t.write(TCR, 1);
    t.services.advanceTo(1e-3);  // 2764.8 pclk cycles
    EXPECT_EQ(t.read(TC), 276u);
    t.write(TCR, 0);  // stopped: holds its count
    t.services.advanceTo(2e-3);
    EXPECT_EQ(t.read(TC), 276u);
    t.write(TCR, 2);  // reset
    EXPECT_EQ(t.read(TC), 0u);
}

TEST(Timer, MatchInterruptsResetsAndStopsAsMcrAsks)
{
    ModelUnderTest<Timer> t(0u);
    t.write(MR0, 1000);
    t.write(MCR, 0x3);  // MR0: interrupt and reset TC
    t.write(TCR, 1);
    t.services.advanceTo(1000.5 / kPclk);
    EXPECT_EQ(t.read(TC), 1000u);  // the match value, for one count
    t.services.advanceTo(1001.5 / kPclk);
    EXPECT_EQ(t.read(TC), 0u);     // then the reset: a period is MR0 + 1 counts
    t.services.advanceTo(2002.5 / kPclk);
    EXPECT_EQ(t.read(TC), 0u);     // the second period, 1001 counts later
    EXPECT_EQ(t.read(IR), 1u);
    EXPECT_TRUE(t.irq);
    t.write(IR, 1);  // writing 1 clears the flag
    EXPECT_EQ(t.read(IR), 0u);
    EXPECT_FALSE(t.irq);

    t.write(MCR, 0x4);  // MR0: stop
    t.services.advanceTo(3500 / kPclk);
    EXPECT_EQ(t.read(TC), 1000u);
    EXPECT_EQ(t.read(TCR) & 1, 0u);
}

TEST(Timer, AChangeOfThePeripheralClockKeepsWhatWasCounted)
{
    ModelUnderTest<Timer> t(1u);
    double pclk = kPclk;
    t.services.pclk = [&] { return pclk; };
    t.write(TCR, 1);
    t.services.advanceTo(1e-3);  // 2764.8 cycles at the first rate
    pclk = 4 * kPclk;
    t.model.pclkChanged();
    t.services.advanceTo(2e-3);  // 11059.2 more at the new one
    EXPECT_NEAR(t.read(TC), 2764 + 11059, 2);
}
