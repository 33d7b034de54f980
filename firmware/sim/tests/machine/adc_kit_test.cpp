// The A/D converter on the whole board, driven by a probe program
// (images/kit/adc.c): software-started conversions of the board's inputs,
// a burst through the VIC's interrupt at its conversion rate, and the
// inputs set from a scenario and from the command line.
#include <gtest/gtest.h>

#include <array>

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

// 0 V, half of VREF, VREF and 0.8 V: codes floor(V / 3.3 V x 1024), at most 1023.
constexpr std::array<double, 4> kInputs{0.0, 1.65, 3.3, 0.8};
constexpr std::array<uint32_t, 4> kCodes{0, 512, 1023, 248};

std::array<uint32_t, 4> results(const Board& board)
{
    std::array<uint32_t, 4> words{};
    for (uint32_t n = 0; n < words.size(); ++n) {
        words[n] = word(board, "results", n);
    }
    return words;
}

BoardOptions withInputs(const ElfImage& image)
{
    BoardOptions options = boardsim::testing::endingAtProbeDone(image);
    for (size_t n = 0; n < kInputs.size(); ++n) {
        options.ain[n] = kInputs[n];
    }
    return options;
}

}  // namespace

TEST(AdcKit, SoftwareStartedConversionsReadTheBoardsInputs)
{
    const ElfImage image = kit("adc_arm");
    TestBoard board(image, withInputs(image));
    EXPECT_EQ(board.runUntil(When::at(0.02)), StopReason::Limit)
        << (board.fault() ? board.fault()->message() : "stopped");
    EXPECT_GT(word(board, "rounds"), 2u);
    EXPECT_EQ(results(board), kCodes);
    EXPECT_TRUE(board.warnings().empty()) << board.warnings().front();
}

TEST(AdcKit, ABurstConvertsEachInputInTurnThroughTheVicInterruptAtItsRate)
{
    const ElfImage image = kit("adc_burst_arm");
    TestBoard board(image, withInputs(image));
    ASSERT_TRUE(runToEnd(board)) << (board.fault() ? board.fault()->message() : "no fault");
    EXPECT_EQ(word(board, "conversions"), 400u);
    EXPECT_EQ(word(board, "overruns"), 0u);
    EXPECT_EQ(results(board), kCodes);
    std::vector<double> irqs;
    for (const Event& e : only(board.events(), EventKind::Exception)) {
        if (ArmException(e.value) == ArmException::Irq) {
            irqs.push_back(e.time);
        }
    }
    ASSERT_EQ(irqs.size(), 400u);
    // 11 clocks of pclk / 11: pclk is 44.2368 MHz / 4.
    const double conversion = 11 * 11 / (44236800.0 / 4);
    EXPECT_NEAR((irqs.back() - irqs.front()) / double(irqs.size() - 1), conversion, conversion * 0.01);
}

TEST(AdcKit, SetAinInAScenarioChangesWhatTheFirmwareReadsFromThen)
{
    const boardsim::testing::ScratchDir dir;
    const auto r = boardsim::testing::runScenarioText(kit("adc_arm"), dir,
                                                      "timeout: 1s\nsteps:\n"
                                                      "  - wait-serial: \"AIN1=0 \"\n"
                                                      "  - set-ain: {channel: 1, volts: 2.5}\n"
                                                      "  - wait-serial: \"AIN1=775 \"\n");
    EXPECT_TRUE(r.outcome.passed) << r.outcome.failure;
}

TEST(AdcKit, TheAinOptionSetsAnInputFromTheCommandLine)
{
    const std::string image = std::string(PROBE_DIR) + "/kit_adc_arm.elf";
    const auto run = boardsim::testing::runCommand({BOARDSIM_EXE, image, "--ain", "2=1.65", "--run", "10ms"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("AIN0=0 AIN1=0 AIN2=512 AIN3=0\\n"), std::string::npos) << run.out;

    const auto bad = boardsim::testing::runCommand({BOARDSIM_EXE, image, "--ain", "5=1"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("AIN4 to AIN7 are not modelled"), std::string::npos) << bad.err;
}
