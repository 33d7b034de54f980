// The peripheral models and the picture code on their own.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "board.h"
#include "lcd_picture.h"
#include "pin_select.h"
#include "port0.h"
#include "uart0.h"

using namespace boardsim;

TEST(Port0, OutputsReadBackTheirLevelAndInputsFollowThePullUpsAndKeys)
{
    Port0 port;
    ASSERT_TRUE(port.write(Port0::kDir, 4, Port0::kLedMask).ok);
    ASSERT_TRUE(port.write(Port0::kSet, 4, Port0::kLedMask).ok);
    EXPECT_EQ(port.read(Port0::kPin, 4).value, 0xFFFFFFFFu);

    port.setKey(3, true);  // KEY_3 is P0.18, active low
    EXPECT_EQ(port.read(Port0::kPin, 4).value, ~(1u << 18));
    ASSERT_TRUE(port.write(Port0::kClr, 4, Port0::kLedMask).ok);
    EXPECT_EQ(port.read(Port0::kPin, 4).value, ~((1u << 18) | Port0::kLedMask));
    port.setKey(3, false);
    EXPECT_EQ(port.read(Port0::kPin, 4).value, ~Port0::kLedMask);

    // A key pin made an output reads what it drives, not the key.
    ASSERT_TRUE(port.write(Port0::kDir, 4, Port0::kLedMask | (1u << 16)).ok);
    port.setKey(1, true);
    EXPECT_EQ(port.read(Port0::kPin, 4).value & (1u << 16), 0u);
    ASSERT_TRUE(port.write(Port0::kSet, 4, 1u << 16).ok);
    EXPECT_NE(port.read(Port0::kPin, 4).value & (1u << 16), 0u);
}

TEST(Port0, LedIsOnlyDrivenWhenP031IsAnOutput)
{
    Port0 port;
    EXPECT_FALSE(port.led().driven);
    port.write(Port0::kSet, 4, Port0::kLedMask);
    EXPECT_FALSE(port.led().driven);
    port.write(Port0::kDir, 4, Port0::kLedMask);
    EXPECT_TRUE(port.led().driven);
    EXPECT_TRUE(port.led().high);
    port.write(Port0::kClr, 4, Port0::kLedMask);
    EXPECT_FALSE(port.led().high);
}

TEST(Port0, RefusesWhatTheBoardDoesNotHave)
{
    Port0 port;
    EXPECT_FALSE(port.read(Port0::kClr, 4).ok);      // write-only
    EXPECT_FALSE(port.read(0x10, 4).ok);             // IO1PIN: port 1 is not modelled
    EXPECT_FALSE(port.write(0x18, 4, 0).ok);
    EXPECT_FALSE(port.write(Port0::kSet, 1, 1).ok);  // byte access
    EXPECT_THROW(port.setKey(5, true), std::out_of_range);
}

TEST(Uart0, DivisorLatchBitSwitchesTheFirstTwoRegisters)
{
    Uart0 uart;
    std::optional<uint8_t> sent;
    ASSERT_TRUE(uart.write(Uart0::kLcr, 4, 0x83, sent).ok);
    ASSERT_TRUE(uart.write(Uart0::kRbrThrDll, 4, 6, sent).ok);
    EXPECT_FALSE(sent);
    ASSERT_TRUE(uart.write(Uart0::kIerDlm, 4, 0, sent).ok);
    EXPECT_EQ(uart.divisor(), 6u);
    ASSERT_TRUE(uart.write(Uart0::kLcr, 4, 0x03, sent).ok);
    EXPECT_EQ(uart.frameFormat(), "8N1");

    ASSERT_TRUE(uart.write(Uart0::kRbrThrDll, 1, 'H', sent).ok);
    ASSERT_TRUE(sent);
    EXPECT_EQ(*sent, 'H');
    EXPECT_EQ(uart.divisor(), 6u);
    EXPECT_EQ(uart.read(Uart0::kLsr, 4).value, 0x60u);
}

TEST(Uart0, RefusesUnknownRegistersAndWritesToTheLineStatus)
{
    Uart0 uart;
    std::optional<uint8_t> sent;
    EXPECT_FALSE(uart.read(0x10, 4).ok);  // UART0 has no modem control
    EXPECT_FALSE(uart.read(0x18, 4).ok);
    EXPECT_FALSE(uart.write(Uart0::kLsr, 4, 0, sent).ok);
    EXPECT_FALSE(uart.read(Uart0::kLsr, 2).ok);
}

TEST(Uart0, FrameFormatFollowsTheLineControlBits)
{
    Uart0 uart;
    std::optional<uint8_t> sent;
    uart.write(Uart0::kLcr, 4, 0x1E, sent);  // 7 bits, 2 stop, even parity
    EXPECT_EQ(uart.frameFormat(), "7E2");
}

TEST(PinSelect, TxD0NeedsFunction01OnP00)
{
    PinSelect pins;
    EXPECT_FALSE(pins.txd0Selected());
    pins.write(PinSelect::kPinsel0, 4, 0x5);
    EXPECT_TRUE(pins.txd0Selected());
    pins.write(PinSelect::kPinsel0, 4, 0x6);
    EXPECT_FALSE(pins.txd0Selected());
    EXPECT_FALSE(pins.read(0x08, 4).ok);
}

TEST(LcdPicture, PixelMappingIsPageColumnBit)
{
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    EXPECT_TRUE(lcdBlank(frame));
    frame[2 * kLcdWidth + 5] = 0x08;  // page 2, column 5, bit 3 -> (5, 19)
    EXPECT_FALSE(lcdBlank(frame));
    EXPECT_TRUE(lcdPixel(frame, 5, 19));
    EXPECT_FALSE(lcdPixel(frame, 5, 18));
    EXPECT_FALSE(lcdPixel(frame, 6, 19));
    const std::string text = lcdAsText(frame);
    EXPECT_EQ(text[19 * (kLcdWidth + 1) + 5], '#');
}

TEST(LcdPicture, PbmHasTheScaledSizeAndTheDarkPixels)
{
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    frame[0] = 0x01;  // pixel (0, 0)
    const std::string path = testing::TempDir() + "lcd_test.pbm";
    writeLcdPicture(frame, path, 2);
    std::ifstream in(path);
    std::string magic;
    unsigned width = 0, height = 0;
    in >> magic >> width >> height;
    EXPECT_EQ(magic, "P1");
    EXPECT_EQ(width, kLcdWidth * 2 + 8);  // a border of 4 on each side
    EXPECT_EQ(height, kLcdHeight * 2 + 8);
    std::vector<int> pixels;
    int value;
    while (in >> value) {
        pixels.push_back(value);
    }
    ASSERT_EQ(pixels.size(), size_t(width) * height);
    EXPECT_EQ(pixels[4 * width + 4], 1);  // (0, 0) enlarged: 2 x 2 dark
    EXPECT_EQ(pixels[5 * width + 5], 1);
    EXPECT_EQ(pixels[6 * width + 6], 0);
    EXPECT_EQ(pixels[0], 0);              // border
    std::remove(path.c_str());
}
