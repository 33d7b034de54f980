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

TEST(Keys, InitMakesOnlyTheKeyPinsInputs)
{
    ResetBoard();
    fake_registers::Preset(kIo0Dir, 0xFFFFFFFF);
    KeySysInit();
    EXPECT_EQ(fake_registers::Value(kIo0Dir), 0xFFF0FFFFu);
}

TEST(Keys, APressIsReportedOnceWhileHeldAndAgainAfterRelease)
{
    ResetBoard();
    KeySysInit();
    using board_pins::KeysDown;
    board_pins::Script script({KeysDown({}), KeysDown({2}), KeysDown({2}), KeysDown({}), KeysDown({2}),
                               KeysDown({2, 4}), KeysDown({1, 3})});
    script.Install();
    EXPECT_EQ(KeyGetPress(), NO_KEY);
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_2);
    EXPECT_EQ(KeyGetPress(), NO_KEY);
    EXPECT_EQ(KeyGetPress(), NO_KEY);
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_2);
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_4);   // only KEY_4 is new
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_1);   // two new at once: the lower
    EXPECT_EQ(script.ReadsDone(), 7u);              // one sample per call
}

TEST(Keys, WaitAnyKeyDownEndsAfterAPressAndRelease)
{
    ResetBoard();
    using board_pins::KeysDown;
    board_pins::Script script({KeysDown({}), KeysDown({}), KeysDown({3}), KeysDown({3}), KeysDown({})});
    script.Install();
    WaitAnyKeyDown();
    EXPECT_EQ(script.ReadsDone(), 5u);
}

TEST(Keys, WaitAnyKeyDownIgnoresAKeyAlreadyHeldOnEntry)
{
    ResetBoard();
    using board_pins::KeysDown;
    // KEY_3 is still held from the press that started the caller; its release
    // is not a press. The wait ends with the KEY_1 press and release after it.
    board_pins::Script script(
        {KeysDown({3}), KeysDown({3}), KeysDown({}), KeysDown({}), KeysDown({1}), KeysDown({})});
    script.Install();
    WaitAnyKeyDown();
    EXPECT_EQ(script.ReadsDone(), 6u);
}

TEST(Keys, AfterWaitAnyKeyDownTheNextPressOfTheSameKeyCounts)
{
    ResetBoard();
    KeySysInit();
    using board_pins::KeysDown;
    board_pins::Script script({KeysDown({3}), KeysDown({3}), KeysDown({}), KeysDown({3}), KeysDown({}),
                               KeysDown({3})});
    script.Install();
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_3);
    WaitAnyKeyDown();
    EXPECT_EQ(KeyGetPress(), KEY_DOWN | KEY_3);
}

}  // namespace
