// The stand-in UART0 and key drivers against the recording register map.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config.h"
#include "UART.h"
#include "key.h"
#include "keys.h"
#include "board_pins.h"
#include "event_log.h"
#include "fake_registers.h"

using ::testing::ElementsAre;

namespace {

constexpr std::uint32_t kPinsel0 = 0xE002C000;
constexpr std::uint32_t kIo0Dir = 0xE0028008;
constexpr std::uint32_t kU0Lsr = 0xE000C014;

void ResetBoard()
{
    event_log::Clear();
    fake_registers::Reset();
}

TEST(Uart0, InitSetsPinsThenDivisorThen8N1)
{
    ResetBoard();
    fake_registers::Preset(kPinsel0, 0xFFFFFFFF);
    UART0_Init();
    // 11059200 Hz / 16 / 115200 baud = 6 exactly.
    EXPECT_THAT(event_log::Events(),
                ElementsAre("PINSEL0 = 0xFFFFFFF5", "U0LCR = 0x00000083", "U0IER/DLM = 0x00000000",
                            "U0THR/DLL = 0x00000006", "U0LCR = 0x00000003", "U0FCR = 0x00000007"));
}

TEST(Uart0, SendStrWaitsForTheTransmitterBeforeEachByte)
{
    ResetBoard();
    int lsrReads = 0;
    // Busy twice before each byte, then ready (THRE and TEMT).
    fake_registers::OnRead(kU0Lsr, [&lsrReads] {
        const bool ready = ++lsrReads % 3 == 0;
        event_log::Add(ready ? "ready" : "busy");
        return ready ? 0x60u : 0x00u;
    });
    UART0_SendStr("Hi\n");
    EXPECT_THAT(event_log::Events(),
                ElementsAre("busy", "busy", "ready", "U0THR/DLL = 0x00000048", "busy", "busy", "ready",
                            "U0THR/DLL = 0x00000069", "busy", "busy", "ready", "U0THR/DLL = 0x0000000A"));
}

TEST(Uart0, SendStrOfAnEmptyOrNullStringSendsNothing)
{
    ResetBoard();
    UART0_SendStr("");
    UART0_SendStr(nullptr);
    EXPECT_TRUE(event_log::Events().empty());
}

TEST(Keys, InitMakesOnlyTheKeyPinsInputsAndStartsTimer0OnThePeripheralClock)
{
    ResetBoard();
    fake_registers::Preset(kIo0Dir, 0xFFFFFFFF);
    KeySysInit();
    EXPECT_EQ(fake_registers::Value(kIo0Dir), 0xFFF0FFFFu);
    EXPECT_EQ(fake_registers::Value(0xE000400C), 0u);  // T0PR: every pclk counts
    EXPECT_EQ(fake_registers::Value(0xE0004004), 1u);  // T0TCR: counting
}

using board_pins::KeysDown;
const std::uint32_t kUp = KeysDown({});

// Samples a pass apart (20 ms): a key counts once two passes agree on it.
TEST(Keys, APressCountsOnceWhenTwoSamplesASettlingTimeApartAgree)
{
    ResetBoard();
    KeySysInit();
    board_pins::Script script({kUp, KeysDown({2}), KeysDown({2}), KeysDown({2}), kUp, kUp, KeysDown({2}),
                               KeysDown({2}), KeysDown({2, 4}), KeysDown({2, 4}), KeysDown({1, 3}),
                               KeysDown({1, 3})});
    script.Install();
    const INT8U expected[] = {NO_KEY, NO_KEY, KEY_DOWN | KEY_2, NO_KEY, NO_KEY, NO_KEY, NO_KEY,
                              KEY_DOWN | KEY_2, NO_KEY, KEY_DOWN | KEY_4,  // only KEY_4 is new
                              NO_KEY, KEY_DOWN | KEY_1};                   // two new at once: the lower
    for (INT8U want : expected)
    {
        EXPECT_EQ(KeyGetPress(), want) << "sample " << script.ReadsDone();
    }
    EXPECT_EQ(script.ReadsDone(), std::size(expected));  // one sample per call
}

// Contacts chatter for a few milliseconds on press and release: sampled
// every millisecond, that is still one press.
TEST(Keys, ChatterOnPressAndReleaseIsOnePress)
{
    ResetBoard();
    KeySysInit();
    const std::uint32_t down = KeysDown({3});
    std::vector<std::uint32_t> samples = {kUp, kUp, down, kUp, down, kUp, down};
    samples.insert(samples.end(), 30, down);
    for (std::uint32_t s : {kUp, down, kUp, down, kUp})
    {
        samples.push_back(s);
    }
    samples.insert(samples.end(), 30, kUp);
    board_pins::Script script(samples, nullptr, 1);
    script.Install();
    int presses = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
    {
        presses += KeyGetPress() == (KEY_DOWN | KEY_3) ? 1 : 0;
    }
    EXPECT_EQ(presses, 1);
}

TEST(Keys, WaitAnyKeyDownEndsAfterASettledPressAndRelease)
{
    ResetBoard();
    KeySysInit();
    std::vector<std::uint32_t> samples(15, kUp);
    samples.insert(samples.end(), {KeysDown({3}), kUp});  // a 1 ms glitch is no press
    samples.insert(samples.end(), 15, KeysDown({3}));
    samples.insert(samples.end(), 12, kUp);
    board_pins::Script script(samples, nullptr, 1);
    script.Install();
    WaitAnyKeyDown();
    EXPECT_EQ(script.ReadsDone(), samples.size() - 1);  // up for the settling time after the press
}

TEST(Keys, WaitAnyKeyDownIgnoresAKeyHeldOnEntryAndItsBouncingRelease)
{
    ResetBoard();
    KeySysInit();
    // KEY_3 is still held from the press that started the caller; its
    // release, chatter and all, is not a press. The wait ends with the
    // KEY_1 press and release after it.
    std::vector<std::uint32_t> samples(15, KeysDown({3}));
    samples.insert(samples.end(), {kUp, KeysDown({3}), kUp, KeysDown({3})});
    samples.insert(samples.end(), 15, kUp);
    samples.insert(samples.end(), 15, KeysDown({1}));
    samples.insert(samples.end(), 12, kUp);
    board_pins::Script script(samples, nullptr, 1);
    script.Install();
    // The menu saw the KEY_3 press that runs the caller.
    INT8U seen = NO_KEY;
    while (seen == NO_KEY)
    {
        seen = KeyGetPress();
    }
    ASSERT_EQ(seen, KEY_DOWN | KEY_3);
    WaitAnyKeyDown();
    EXPECT_EQ(script.ReadsDone(), samples.size() - 1);
}

TEST(Keys, AfterWaitAnyKeyDownTheNextPressOfTheSameKeyCounts)
{
    ResetBoard();
    KeySysInit();
    const std::uint32_t down = KeysDown({3});
    board_pins::Script script({down, down, kUp, kUp, down, down, kUp, kUp, down, down});
    script.Install();
    EXPECT_EQ(KeyGetPress(), NO_KEY);
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_3);
    WaitAnyKeyDown();
    EXPECT_EQ(KeyGetPress(), NO_KEY);
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_3);
}

}  // namespace
