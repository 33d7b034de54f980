// The start-up's clock set-up against the recording register map: the
// PLL, VPB divider, MAM and memory map values and their order, as the user
// manual's PLL chapter asks (configure, enable, feed, wait for lock,
// connect, feed).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "clock_setup.h"
#include "event_log.h"
#include "fake_registers.h"

using ::testing::ElementsAre;

namespace {

constexpr std::uint32_t kPllStat = 0xE01FC088;

TEST(ClockSetup, PllTimesFourThroughTwoFeedsAfterLockMamFullyOnUserFlashVectors)
{
    event_log::Clear();
    fake_registers::Reset();
    int statReads = 0;
    // Locks at the third look (PLOCK is bit 10).
    fake_registers::OnRead(kPllStat, [&statReads] { return ++statReads >= 3 ? 0x423u : 0x023u; });
    BoardClockInit();
    fake_registers::OnRead(kPllStat, nullptr);
    EXPECT_EQ(statReads, 3);
    // 44.2368 MHz (above 40) wants 3 fetch cycles; Fpclk = Fcclk / 4 is VPBDIV 00.
    // PLLCFG 0x23: MSEL 3 (M = 4), PSEL 1 (P = 2): Fcco = 176.9 MHz.
    EXPECT_THAT(event_log::Events(),
                ElementsAre("MAMCR = 0x00000000", "MAMTIM = 0x00000003", "MAMCR = 0x00000002",
                            "VPBDIV = 0x00000000", "PLLCFG = 0x00000023", "PLLCON = 0x00000001",
                            "PLLFEED = 0x000000AA", "PLLFEED = 0x00000055", "PLLCON = 0x00000003",
                            "PLLFEED = 0x000000AA", "PLLFEED = 0x00000055", "MEMMAP = 0x00000001"));
}

}  // namespace
