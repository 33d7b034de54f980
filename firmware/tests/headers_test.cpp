// Key codes, C linkage of the firmware's functions, and the addresses of the
// registers that the firmware and the board layer use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config.h"
#include "key.h"
#include "event_log.h"
#include "fake_board.h"

using ::testing::ElementsAre;

extern "C" {
void DelayMsFromC(INT32U dly);
void SysVersionFromC(void);
void SysAuthorFromC(void);
}

namespace {

TEST(KeyCodes, EventsInTheHighNibbleKeysInTheLow)
{
    for (int event : {KEY_DOWN, KEY_LONG, KEY_LIAN, KEY_UP})
    {
        EXPECT_EQ(event & 0x0F, 0) << event;
        for (int key : {KEY_1, KEY_2, KEY_3, KEY_4})
        {
            EXPECT_EQ(key & 0xF0, 0) << key;
            EXPECT_EQ((event | key) & 0xF0, event);
            EXPECT_EQ((event | key) & 0x0F, key);
        }
    }
    EXPECT_EQ(KEY_DOWN, 0xA0);
    EXPECT_EQ(KEY_LONG, 0xB0);
    EXPECT_EQ(KEY_LIAN, 0xC0);
    EXPECT_EQ(KEY_UP, 0xD0);
    EXPECT_EQ(NO_KEY, 0);
    EXPECT_EQ(KEY_SERIES_FLAG, 30);
    EXPECT_EQ(KEY_SERIES_DELAY, 7);
}

TEST(CLinkage, CCodeReachesTheFirmwareFunctions)
{
    fake_board::Reset(0);
    DelayMsFromC(2);
    SysAuthorFromC();
    SysVersionFromC();
    EXPECT_THAT(event_log::Events(), ElementsAre("delay 1000", "LcdClrScrn", "WaitAnyKeyDown"));
}

TEST(RegisterMap, AddressesOfTheBoard)
{
    struct Expected
    {
        FakeRegister reg;
        std::uint32_t address;
    };
    const Expected registers[] = {
        {PINSEL0, 0xE002C000}, {PINSEL1, 0xE002C004}, {PINSEL2, 0xE002C014},
        {IO0PIN, 0xE0028000},  {IO0SET, 0xE0028004},  {IO0DIR, 0xE0028008},
        {IO0CLR, 0xE002800C},  {IOPIN, 0xE0028000},   {IOSET, 0xE0028004},
        {IODIR, 0xE0028008},   {IOCLR, 0xE002800C},   {U0RBR, 0xE000C000},
        {U0THR, 0xE000C000},   {U0DLL, 0xE000C000},   {U0IER, 0xE000C004},
        {U0DLM, 0xE000C004},   {U0IIR, 0xE000C008},   {U0FCR, 0xE000C008},
        {U0LCR, 0xE000C00C},   {U0LSR, 0xE000C014},   {U0SCR, 0xE000C01C},
    };
    for (const Expected &e : registers)
    {
        EXPECT_EQ(e.reg.address(), e.address) << std::hex << e.address;
    }
}

}  // namespace
