// The board layer's SPI0 and LCD driver against a fake panel behind the
// recording registers: SPI0 as the user manual and the controller need it,
// the controller's reset and set-up as its datasheet asks, and what reaches
// the glass. The fake panel writes down every breach of the handshake (a
// byte before the last one's SPIF, D/C or SCE changed mid-byte, ...).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "config.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "lcd.h"
#include "spi0.h"
#include "event_log.h"
#include "fake_panel.h"
#include "fake_registers.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

namespace {

constexpr std::uint32_t kPinsel0 = 0xE002C000;
constexpr std::uint32_t kS0Spcr = 0xE0020000;
constexpr std::uint32_t kS0Spccr = 0xE002000C;

void PowerUp()
{
    event_log::Clear();
    fake_registers::Reset();
    fake_panel::Install();
}

// Powered up, the driver set up and the panel cleared, nothing written down.
void Ready()
{
    PowerUp();
    GUI_Init();
    fake_panel::ForgetBytes();
    event_log::Clear();
}

std::vector<std::uint8_t> Shadow() { return std::vector<std::uint8_t>(std::begin(LcdFrame), std::end(LcdFrame)); }

bool Blank(const std::vector<std::uint8_t> &picture)
{
    return std::all_of(picture.begin(), picture.end(), [](std::uint8_t b) { return b == 0; });
}

TEST(Spi0, MasterInModeZeroOnItsPinsAtAThirdOfTheControllersClockLimit)
{
    PowerUp();
    fake_registers::Preset(kPinsel0, 0x00000005);  // UART0 on P0.0 and P0.1 already
    Spi0Init();
    // P0.4 SCK0, P0.6 MOSI0, P0.7 SSEL0 (held high on the board); P0.5 and
    // the UART's pins as they were.
    EXPECT_EQ(fake_registers::Value(kPinsel0), 0x00005105u);
    // 11.0592 MHz / 8 = 1.3824 MHz: the counter is even and at least 8, as
    // master mode needs, and SCK well under the controller's 4 MHz.
    EXPECT_EQ(fake_registers::Value(kS0Spccr), 8u);
    EXPECT_EQ(fake_registers::Value(kS0Spcr), 0x20u);  // MSTR; CPOL = CPHA = 0, MSB first, no interrupt
}

TEST(Lcd, InitPulsesResetThenSetsTheControllerUpLeavingTheDisplayBlank)
{
    PowerUp();
    LcdInit();
    const fake_panel::Panel &panel = fake_panel::State();
    EXPECT_EQ(panel.resetPulses, 1);
    // Extended set with PD = 0; Vop 56 (6.42 V); temperature coefficient 0;
    // bias 1/8 (BS = 3) for the 1:48 multiplex rate; basic set again.
    EXPECT_THAT(panel.bytes, ElementsAre(Pair(false, 0x21), Pair(false, 0x80 | 56), Pair(false, 0x04),
                                         Pair(false, 0x13), Pair(false, 0x20)));
    EXPECT_FALSE(panel.powerDown);
    EXPECT_FALSE(panel.extended);
    EXPECT_EQ(panel.vop, 56u);
    EXPECT_EQ(panel.bias, 3u);
    EXPECT_EQ(panel.temperature, 0u);
    EXPECT_EQ(panel.display, 0u);  // its RAM holds what it powered up with: not shown yet
    EXPECT_TRUE(Blank(fake_panel::Glass()));
    EXPECT_THAT(panel.breaches, IsEmpty());
}

TEST(Lcd, TheFirstFlushFillsTheWholeRamBeforeTheDisplayGoesOn)
{
    PowerUp();
    LcdInit();
    fake_panel::ForgetBytes();
    LcdClrScrn();
    const fake_panel::Panel &panel = fake_panel::State();
    ASSERT_EQ(panel.bytes.size(), 2u + 504u + 1u);
    EXPECT_THAT(panel.bytes[0], Pair(false, 0x40));  // Y = 0
    EXPECT_THAT(panel.bytes[1], Pair(false, 0x80));  // X = 0
    for (std::size_t i = 2; i < 2 + 504; i++)
    {
        ASSERT_EQ(panel.bytes[i], std::make_pair(true, std::uint8_t(0))) << i;
    }
    EXPECT_THAT(panel.bytes.back(), Pair(false, 0x0C));  // display normal, last
    EXPECT_EQ(panel.display, 2u);
    EXPECT_TRUE(Blank(fake_panel::Glass()));
    EXPECT_THAT(panel.breaches, IsEmpty());
}

TEST(Lcd, PixelsGoIntoTheShadowInTheControllersLayoutAndOffThePanelAreIgnored)
{
    Ready();
    LcdSetPixel(5, 13, TRUE);
    LcdSetPixel(83, 47, TRUE);
    LcdSetPixel(84, 0, TRUE);
    LcdSetPixel(0, 48, TRUE);
    std::vector<std::uint8_t> expected(504, 0);
    expected[1 * 84 + 5] = 1 << 5;
    expected[5 * 84 + 83] = 1 << 7;
    EXPECT_EQ(Shadow(), expected);
    LcdSetPixel(5, 13, FALSE);
    EXPECT_EQ(LcdFrame[1 * 84 + 5], 0);
    EXPECT_TRUE(event_log::Events().empty()) << "drawing sent something before LcdFlush";
}

TEST(Lcd, AFlushSendsOnlyWhatChangedJoiningNearStretches)
{
    Ready();
    LcdSetPixel(5, 13, TRUE);   // byte 89
    LcdSetPixel(8, 13, TRUE);   // byte 92: two unchanged bytes between, sent along
    LcdSetPixel(83, 47, TRUE);  // byte 503: far off, addressed on its own
    LcdFlush();
    const fake_panel::Panel &panel = fake_panel::State();
    EXPECT_THAT(panel.bytes,
                ElementsAre(Pair(false, 0x41), Pair(false, 0x80 | 5), Pair(true, 0x20), Pair(true, 0x00),
                            Pair(true, 0x00), Pair(true, 0x20), Pair(false, 0x45), Pair(false, 0x80 | 83),
                            Pair(true, 0x80)));
    EXPECT_EQ(fake_panel::Glass(), Shadow());
    EXPECT_THAT(panel.breaches, IsEmpty());

    // Nothing changed: nothing sent, not even SCE touched.
    event_log::Clear();
    LcdFlush();
    EXPECT_TRUE(event_log::Events().empty());
    // Drawn and undrawn again before a flush: nothing to send either.
    LcdSetPixel(40, 40, TRUE);
    LcdSetPixel(40, 40, FALSE);
    LcdFlush();
    EXPECT_TRUE(event_log::Events().empty());
}

TEST(Lcd, ClrScrnLeavesTheGlassBlank)
{
    Ready();
    GUI_PutString(0, 0, "Menu");
    GUI_HLine(40);
    LcdFlush();
    EXPECT_FALSE(Blank(fake_panel::Glass()));
    LcdClrScrn();
    EXPECT_TRUE(Blank(fake_panel::Glass()));
    EXPECT_TRUE(Blank(Shadow()));
    EXPECT_THAT(fake_panel::State().breaches, IsEmpty());
}

TEST(Gui, DrawsGlyphColumnsIntoTheFrame)
{
    Ready();
    GUI_PutString(0, 0, "M");
    // M's outer columns are full height (7 rows), its middle column has rows 2 and 3.
    EXPECT_EQ(LcdFrame[0], 0x7F);
    EXPECT_EQ(LcdFrame[2], 0x0C);
    EXPECT_EQ(LcdFrame[4], 0x7F);
    EXPECT_EQ(LcdFrame[5], 0x00);  // gap between characters
}

}  // namespace
