// main's start-up order, register values, greeting and heartbeat loop, and
// DelayMs's iteration count, against fakes of the board layer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config.h"
#include "event_log.h"
#include "fake_board.h"
#include "fake_registers.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

constexpr std::uint32_t kPinsel1 = 0xE002C004;
constexpr std::uint32_t kIo0Dir = 0xE0028008;
constexpr std::uint32_t kIo0Set = 0xE0028004;
constexpr std::uint32_t kIo0Clr = 0xE002800C;

// Runs main until the fake DealKey ends the loop (see fake_board::Reset).
std::vector<std::string> RunMain()
{
    EXPECT_THROW(FirmwareMain(), LoopEnded);
    return event_log::Events();
}

std::vector<std::string> StartUp(const char *pinsel1, const char *io0dir)
{
    return {std::string("PINSEL1 = ") + pinsel1,
            std::string("IO0DIR = ") + io0dir,
            "IO0SET = 0x80000000",
            "UART0_Init",
            "UART0_SendStr",
            "KeySysInit",
            "GUI_Init",
            "Menu_Init"};
}

// One pass of the loop: 200 delay units of 500 iterations each, LED low then high.
const std::vector<std::string> kPass = {"DealKey", "IO0CLR = 0x80000000", "delay 100000",
                                        "IO0SET = 0x80000000", "delay 100000"};

TEST(MainStartUp, RunsInOrderAndDrivesTheLedHighBeforeTheUart)
{
    fake_board::Reset(0);
    std::vector<std::string> expected = StartUp("0x00000000", "0x80000000");
    expected.push_back("DealKey");
    EXPECT_THAT(RunMain(), ElementsAreArray(expected));
}

TEST(MainStartUp, Pinsel1ClearsBits28To29And31AndKeepsTheRest)
{
    struct Case
    {
        std::uint32_t before;
        const char *after;
    };
    // 0x4FFFFFFF keeps bit 30 and bits 0..27.
    for (const Case &c : {Case{0xFFFFFFFF, "0x4FFFFFFF"}, Case{0xAAAAAAAA, "0x0AAAAAAA"},
                          Case{0x55555555, "0x45555555"}, Case{0x30000000, "0x00000000"}})
    {
        fake_board::Reset(0);
        fake_registers::Preset(kPinsel1, c.before);
        std::vector<std::string> log = RunMain();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0], std::string("PINSEL1 = ") + c.after) << std::hex << c.before;
    }
}

TEST(MainStartUp, LedPinBecomesAnOutputWithoutDisturbingOtherDirections)
{
    fake_board::Reset(0);
    fake_registers::Preset(kIo0Dir, 0x000F0001);
    std::vector<std::string> log = RunMain();
    EXPECT_THAT(std::vector<std::string>(log.begin(), log.begin() + 3),
                ElementsAre("PINSEL1 = 0x00000000", "IO0DIR = 0x800F0001", "IO0SET = 0x80000000"));
}

TEST(MainStartUp, SetAndClearRegistersAreOnlyWrittenNeverRead)
{
    // IO0SET and IO0CLR act on the 1 bits written; a read-modify-write
    // would drive other port-0 pins as well.
    fake_board::Reset(3);
    fake_registers::Preset(kIo0Set, 0x0000FFFF);
    fake_registers::Preset(kIo0Clr, 0x0000FFFF);
    RunMain();
    EXPECT_EQ(fake_registers::ReadCount(kIo0Set), 0);
    EXPECT_EQ(fake_registers::ReadCount(kIo0Clr), 0);
}

TEST(MainGreeting, SendsExactlyTheGreetingOnce)
{
    fake_board::Reset(4);
    RunMain();
    ASSERT_EQ(fake_board::SentStrings().size(), 1u);
    const std::string &greeting = fake_board::SentStrings()[0];
    EXPECT_EQ(greeting.size(), 24u);
    EXPECT_EQ(greeting, "Hello my first UART pro\n");
}

TEST(MainLoop, EachPassCallsDealKeyThenBlinksLowThenHigh)
{
    fake_board::Reset(3);
    std::vector<std::string> expected = StartUp("0x00000000", "0x80000000");
    for (int pass = 0; pass < 3; pass++)
    {
        expected.insert(expected.end(), kPass.begin(), kPass.end());
    }
    expected.push_back("DealKey");
    EXPECT_THAT(RunMain(), ElementsAreArray(expected));
}

TEST(DelayMs, CountsFiveHundredIterationsPerUnit)
{
    fake_board::Reset(0);
    DelayMs(1);
    event_log::Add("mark");
    DelayMs(7);
    EXPECT_THAT(event_log::Events(), ElementsAre("delay 500", "mark", "delay 3500"));
}

TEST(DelayMs, ZeroReturnsWithoutLooping)
{
    fake_board::Reset(0);
    DelayMs(0);
    EXPECT_TRUE(event_log::Events().empty());
}

}  // namespace
