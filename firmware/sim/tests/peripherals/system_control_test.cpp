// The system control block on its own (user manual, "System control block":
// PLL, VPB divider, MAM), at its register offsets.
#include <gtest/gtest.h>

#include "peripherals/system_control.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t MAMCR = 0x000, MAMTIM = 0x004, PLLCON = 0x080, PLLCFG = 0x084, PLLSTAT = 0x088,
                   PLLFEED = 0x08C, VPBDIV = 0x100;
constexpr double kFosc = 11059200;

}  // namespace

// The clocks after reset: the PLL off and bypassed, VPB at a quarter.
TEST(SystemControl, PllTakesEffectOnlyThroughAValidFeedAndLocksBeforeItConnects)
{
    ModelUnderTest<SystemControl> s;
    EXPECT_DOUBLE_EQ(s.model.cclkHz(), kFosc);
    EXPECT_DOUBLE_EQ(s.model.pclkHz(), kFosc / 4);

    s.write(PLLCFG, 0x23);  // M = 4, P = 2: Fcco 176.9 MHz
    s.write(PLLCON, 1);
    EXPECT_EQ(s.read(PLLSTAT), 0u);  // nothing until the feed
    // Broken feeds change nothing: a wrong value, the wrong order, another
    // access between the two writes.
    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0x56);
    s.write(PLLFEED, 0x55);
    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0xAA);
    EXPECT_EQ(s.read(PLLCON), 1u);  // this read comes between 0xAA and 0x55
    s.write(PLLFEED, 0x55);
    EXPECT_EQ(s.read(PLLSTAT), 0u);

    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0x55);
    EXPECT_EQ(s.read(PLLSTAT), 0x123u);  // MSEL 3, PSEL 1, PLLE; not yet locked
    s.services.advanceTo(1e-3);
    EXPECT_EQ(s.read(PLLSTAT), 0x523u);  // PLOCK
    EXPECT_DOUBLE_EQ(s.model.cclkHz(), kFosc);  // enabled, not connected

    s.write(PLLCON, 3);
    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0x55);
    EXPECT_EQ(s.read(PLLSTAT), 0x723u);
    EXPECT_DOUBLE_EQ(s.model.cclkHz(), 4 * kFosc);
    EXPECT_DOUBLE_EQ(s.model.pclkHz(), kFosc);
    s.write(VPBDIV, 1);
    EXPECT_DOUBLE_EQ(s.model.pclkHz(), 4 * kFosc);
    s.write(VPBDIV, 3);  // reserved: the divider stays
    EXPECT_DOUBLE_EQ(s.model.pclkHz(), 4 * kFosc);
    EXPECT_TRUE(s.services.faults.empty());
    EXPECT_GT(s.services.clockChanges, 0);
}

TEST(SystemControl, PllConnectedBeforeLockFailsAndOutsideTheOscillatorsRangeIsAWarning)
{
    ModelUnderTest<SystemControl> s;
    s.write(PLLCFG, 0x23);
    s.write(PLLCON, 3);  // enable and connect in one feed: no lock yet
    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0x55);
    ASSERT_EQ(s.services.faults.size(), 1u);
    EXPECT_NE(s.services.faults[0].find("before it locked"), std::string::npos) << s.services.faults[0];

    s.model.reset();
    s.services.faults.clear();
    s.write(PLLCFG, 0x03);  // M = 4, P = 1: Fcco 88.5 MHz, below the data sheet's range
    s.write(PLLCON, 1);
    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0x55);
    EXPECT_TRUE(s.services.faults.empty());
    ASSERT_EQ(s.services.warnings.size(), 1u);
    EXPECT_NE(s.services.warnings[0].find("Fcco = 88.4736 MHz (M = 4, P = 1), outside 156-320 MHz"),
              std::string::npos)
        << s.services.warnings[0];
    s.services.advanceTo(1e-3);  // it locks and connects all the same
    s.write(PLLCON, 3);
    s.write(PLLFEED, 0xAA);
    s.write(PLLFEED, 0x55);
    EXPECT_TRUE(s.services.faults.empty());
    EXPECT_DOUBLE_EQ(s.model.cclkHz(), 4 * kFosc);
}

TEST(SystemControl, MamSettingsAreTheCoresMemoryTimingAndKeepOnlyTheirBits)
{
    ModelUnderTest<SystemControl> s;
    s.write(MAMTIM, 0xFB);
    EXPECT_EQ(s.read(MAMTIM), 3u);
    EXPECT_EQ(s.model.mamFetchCycles(), 3u);
    s.write(MAMCR, 0x6);
    EXPECT_EQ(s.model.mamMode(), 2u);
    EXPECT_EQ(s.services.clockChanges, 2);
}
