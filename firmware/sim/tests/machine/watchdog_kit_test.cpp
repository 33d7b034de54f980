// The watchdog on the whole board, driven by a probe program
// (images/kit/watchdog.c) at 10 ms: the time-out that resets the chip while
// RAM keeps its contents and WDTOF tells the program why it started again,
// the time-out into the interrupt, and firmware that feeds in time.
#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/kit_program.h"
#include "support/scenario_text.h"
#include "support/test_board.h"

using namespace boardsim;
using boardsim::testing::kit;
using boardsim::testing::only;
using boardsim::testing::runToEnd;
using boardsim::testing::TestBoard;
using boardsim::testing::word;

namespace {

constexpr uint32_t kWden = 1, kWdtof = 4, kWdint = 8;
constexpr double kTimeOut = 27648 / (11059200.0 / 4);  // WDTC counts of pclk / 4: 10 ms

}  // namespace

TEST(WatchdogKit, ATimeOutWithWdresetResetsTheChipKeepingRamAndWdtof)
{
    const ElfImage image = kit("watchdog_reset_arm");
    TestBoard board(image, boardsim::testing::endingAtProbeDone(image));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "no fault");
    board.runUntil(When::at(board.seconds() + 2e-3));  // the last bytes out of the FIFO
    EXPECT_EQ(board.uartOutput(), "hello\nhello\nRAM kept\n");
    const auto resets = only(board.events(), EventKind::ChipReset);
    ASSERT_EQ(resets.size(), 1u);
    // Armed once its greeting has gone (6 bytes at 115200 baud).
    EXPECT_GT(resets[0].time, kTimeOut);
    EXPECT_LT(resets[0].time, kTimeOut + 1.5e-3);
    EXPECT_NE(board.lastChipReset().find("watchdog reset"), std::string::npos) << board.lastChipReset();
    EXPECT_EQ(word(board, "boots"), 2u) << "a count in RAM the start-up leaves alone";
    EXPECT_EQ(word(board, "wdmod_at_start"), kWdtof) << "WDTOF kept; WDEN and WDRESET cleared";
}

TEST(WatchdogKit, ATimeOutWithoutWdresetRequestsItsInterrupt)
{
    const ElfImage image = kit("watchdog_irq_arm");
    TestBoard board(image, boardsim::testing::endingAtProbeDone(image));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "no fault");
    EXPECT_EQ(word(board, "timeouts"), 1u);
    EXPECT_EQ(word(board, "wdmod_in_handler"), kWden | kWdtof | kWdint);
    EXPECT_TRUE(only(board.events(), EventKind::ChipReset).empty());
    EXPECT_GT(board.seconds(), kTimeOut);
}

TEST(WatchdogKit, FirmwareThatFeedsInTimeRunsOn)
{
    const ElfImage image = kit("watchdog_feed_arm");
    TestBoard board(image, boardsim::testing::endingAtProbeDone(image));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "no fault");
    EXPECT_EQ(word(board, "feeds"), 20u);
    EXPECT_GT(board.seconds(), 10 * kTimeOut) << "it ran far past one time-out";
    EXPECT_TRUE(only(board.events(), EventKind::ChipReset).empty());
    EXPECT_EQ(board.uartOutput(), "hello\n");
}

TEST(WatchdogKit, AScenarioSeesTheGreetingTwiceAndARunPrintsTheReset)
{
    const boardsim::testing::ScratchDir dir;
    const auto r = boardsim::testing::runScenarioText(
        kit("watchdog_reset_arm"), dir,
        "timeout: 1s\nsteps:\n  - wait-serial: hello\n  - wait-serial: hello\n  - wait-serial: RAM kept\n");
    EXPECT_TRUE(r.outcome.passed) << r.outcome.failure;

    const auto run = boardsim::testing::runCommand(
        {BOARDSIM_EXE, std::string(PROBE_DIR) + "/kit_watchdog_reset_arm.elf", "--run", "30ms"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("reset  watchdog reset (time-out after 27648 counts of pclk / 4, WDMOD.WDRESET = 1)"),
              std::string::npos)
        << run.out;
}
