// SPI0 master for the LCD's controller, whose serial clock may run at up to
// 4 MHz, and the TLV5618 DAC (up to 20 MHz) on the same lines.
#include "config.h"
#include "spi0.h"
#include "wiring.h"

namespace {

constexpr INT32U kPanelMaxSckHz = 4000000;
// Half the panel's limit: margin for its pulse-width and set-up times and
// for the wiring.
constexpr INT32U kMaxSckHz = kPanelMaxSckHz / 2;

// SCK = Fpclk / S0SPCCR; in master mode the counter must be even and at
// least 8. The DAC takes the same clock: the counter stays as it is.
constexpr INT32U ClockCounter()
{
    INT32U counter = 8;
    while (Fpclk / counter > kMaxSckHz)
    {
        counter += 2;
    }
    return counter;
}
constexpr INT32U kClockCounter = ClockCounter();
static_assert(kClockCounter >= 8 && kClockCounter % 2 == 0 && kClockCounter <= 0xFF, "S0SPCCR out of range");
static_assert(Fpclk / kClockCounter <= kMaxSckHz, "SCK above the margin");

constexpr INT32U kSpcrMaster = 1u << 5;   // MSTR, MSB first, no interrupt
constexpr INT32U kSpcrCpha = 1u << 3;     // data out on SCK's leading edge, sampled on its trailing one
constexpr INT32U kSpcrLcd = kSpcrMaster;  // CPOL = CPHA = 0
constexpr INT32U kSpcrDac = kSpcrMaster | kSpcrCpha;
constexpr INT32U kSpsrSpif = 1u << 7;     // transfer complete

constexpr INT32U kSpiPins = PINSEL_FIELD(PIN_LCD_SCLK) | PINSEL_FIELD(PIN_LCD_SDIN) | PINSEL_FIELD(PIN_SPI0_SSEL);
constexpr INT32U kSpiFunctions = PINSEL_VALUE(PIN_LCD_SCLK, PIN_FUNCTION_SPI0) |
                                 PINSEL_VALUE(PIN_LCD_SDIN, PIN_FUNCTION_SPI0) |
                                 PINSEL_VALUE(PIN_SPI0_SSEL, PIN_FUNCTION_SPI0);
constexpr INT32U kDacCs = PIN_MASK(PIN_DAC_CS);
constexpr INT32U kLcdSce = PIN_MASK(PIN_LCD_SCE);
// P0.23 is in PINSEL1; its function 00 is GPIO.
constexpr INT32U kDacCsPin = PINSEL_FIELD(PIN_DAC_CS);

// A byte was written whose SPIF has not been seen yet. Shared with the
// interrupt: the foreground sets it before the byte's write, so that an
// interrupt between the two waits for that byte rather than colliding
// with it.
volatile BOOL Sending = FALSE;

void WaitForSpif()
{
    while ((S0SPSR & kSpsrSpif) == 0)
    {
    }
}

}  // namespace

void Spi0Init(void)
{
    IO0SET = kDacCs;
    PINSEL1 = PINSEL1 & ~kDacCsPin;
    IO0DIR = IO0DIR | kDacCs;
    PINSEL0 = (PINSEL0 & ~kSpiPins) | kSpiFunctions;
    S0SPCCR = kClockCounter;
    S0SPCR = kSpcrLcd;
    Sending = FALSE;
}

void Spi0Drain(void)
{
    if (Sending)
    {
        // Having read SPSR with SPIF set, the next access to SPDR (the
        // next byte's write) clears SPIF, as the user manual asks.
        WaitForSpif();
        Sending = FALSE;
    }
}

void Spi0Put(INT8U byte)
{
    // SPDR takes no byte while one is shifting: the write would be lost
    // (WCOL). Sending stays set from the last byte to this one.
    if (Sending)
    {
        WaitForSpif();
    }
    else
    {
        Sending = TRUE;
    }
    S0SPDR = byte;
}

void Spi0DacWord(INT16U word)
{
    // A byte of the LCD's may be shifting: it goes out whole first. (Once
    // the bus has carried a byte, SPIF is clear only while one shifts; the
    // generator starts long after the LCD's set-up.)
    if (Sending)
    {
        WaitForSpif();
    }
    // The LCD is selected between two bytes of a transfer: SCE high keeps
    // the DAC's bytes from it (its serial interface starts afresh, which
    // between bytes loses nothing). The latch, read back, is SCE's level.
    const BOOL lcdSelected = (IO0SET & kLcdSce) == 0 ? TRUE : FALSE;
    if (lcdSelected)
    {
        IO0SET = kLcdSce;
    }
    // The mode changes only while no byte shifts; SCK idles low in both.
    S0SPCR = kSpcrDac;
    IO0CLR = kDacCs;
    S0SPDR = static_cast<INT8U>(word >> 8);
    WaitForSpif();
    S0SPDR = static_cast<INT8U>(word);
    WaitForSpif();
    IO0SET = kDacCs;
    S0SPCR = kSpcrLcd;
    if (lcdSelected)
    {
        IO0CLR = kLcdSce;
    }
    // The word's last SPIF stands, and has been read: the foreground's next
    // write of SPDR clears it, whether or not it drains first.
}
