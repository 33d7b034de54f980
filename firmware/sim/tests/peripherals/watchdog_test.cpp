// The watchdog on its own, at its register offsets (user manual,
// "Watchdog"): the feed that starts and reloads it, its count at pclk / 4,
// the time-out into an interrupt or a reset, and the broken feed.
#include <gtest/gtest.h>

#include "peripherals/watchdog.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t WDMOD = 0x00, WDTC = 0x04, WDFEED = 0x08, WDTV = 0x0C;
constexpr uint32_t kEnable = 1, kReset = 2, kTimeOut = 4, kInterrupt = 8;
constexpr double kPclk = 11059200.0 / 4;

void feed(ModelUnderTest<Watchdog>& w)
{
    w.write(WDFEED, 0xAA);
    w.write(WDFEED, 0x55);
}

}  // namespace

TEST(Watchdog, RunsOnlyOnceEnabledAndFedAndCountsAQuarterOfPclk)
{
    ModelUnderTest<Watchdog> w;
    w.write(WDTC, 0x10);
    EXPECT_EQ(w.read(WDTC), 0xFFu) << "below the minimum loads the minimum";
    w.write(WDTC, 100000);
    w.write(WDMOD, kEnable);
    w.services.advanceTo(0.01);
    EXPECT_EQ(w.read(WDTV), 0xFFu) << "WDEN alone does not start it";
    feed(w);
    EXPECT_EQ(w.read(WDTV), 100000u);
    w.services.advanceTo(0.01 + 4000 / kPclk);
    EXPECT_EQ(w.read(WDTV), 99000u);
    feed(w);
    EXPECT_EQ(w.read(WDTV), 100000u) << "a feed reloads it";
    w.write(WDMOD, 0);
    EXPECT_EQ(w.read(WDMOD) & kEnable, kEnable) << "software cannot clear WDEN";
}

TEST(Watchdog, TimesOutIntoItsInterruptThatOnlyAResetClears)
{
    ModelUnderTest<Watchdog> w;
    w.write(WDTC, 1000);
    w.write(WDMOD, kEnable);
    feed(w);
    w.services.advanceTo(3999 / kPclk);
    EXPECT_FALSE(w.irq);
    w.services.advanceTo(4001 / kPclk);
    EXPECT_TRUE(w.irq);
    EXPECT_EQ(w.read(WDMOD), kEnable | kTimeOut | kInterrupt);
    EXPECT_TRUE(w.services.resets.empty());
    w.write(WDMOD, kEnable);  // WDTOF written 0: cleared; WDINT stays
    EXPECT_EQ(w.read(WDMOD), kEnable | kInterrupt);
    EXPECT_TRUE(w.irq);
    w.model.reset();
    EXPECT_FALSE(w.irq);
    EXPECT_EQ(w.read(WDMOD), 0u);
}

TEST(Watchdog, WithWdresetItResetsTheChipAndWdtofSurvivesThatReset)
{
    ModelUnderTest<Watchdog> w;
    w.write(WDMOD, kEnable | kReset);
    feed(w);
    w.services.advanceTo(0xFF * 4 / kPclk * 1.01);
    ASSERT_EQ(w.services.resets.size(), 1u);
    EXPECT_NE(w.services.resets[0].find("watchdog reset"), std::string::npos);
    EXPECT_FALSE(w.irq);
    w.model.reset();  // the reset it asked for
    EXPECT_EQ(w.read(WDMOD), kTimeOut) << "WDEN and WDRESET cleared, WDTOF kept";
    w.model.reset();  // any other reset clears it
    EXPECT_EQ(w.read(WDMOD), 0u);
}

TEST(Watchdog, ABrokenFeedTimesARunningWatchdogOutAtOnce)
{
    ModelUnderTest<Watchdog> w;
    w.write(WDTC, 100000);
    w.write(WDFEED, 0xAA);
    w.read(WDTV);  // not running yet: nothing happens
    w.write(WDMOD, kEnable | kReset);
    feed(w);
    w.write(WDFEED, 0xAA);
    EXPECT_TRUE(w.services.resets.empty());
    w.read(WDTV);
    ASSERT_EQ(w.services.resets.size(), 1u);
    EXPECT_NE(w.services.resets[0].find("feed sequence broken"), std::string::npos);
}
