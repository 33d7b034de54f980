// SPI0 master for the LCD's controller, whose serial clock may run at up to
// 4 MHz.
#include "config.h"
#include "spi0.h"
#include "wiring.h"

namespace {

constexpr INT32U kPanelMaxSckHz = 4000000;
// Half the panel's limit: margin for its pulse-width and set-up times and
// for the wiring.
constexpr INT32U kMaxSckHz = kPanelMaxSckHz / 2;

// SCK = Fpclk / S0SPCCR; in master mode the counter must be even and at
// least 8.
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

constexpr INT32U kSpcrMaster = 1u << 5;  // MSTR; CPHA = CPOL = 0, MSB first, no interrupt
constexpr INT32U kSpsrSpif = 1u << 7;    // transfer complete

constexpr INT32U kSpiPins = PINSEL_FIELD(PIN_LCD_SCLK) | PINSEL_FIELD(PIN_LCD_SDIN) | PINSEL_FIELD(PIN_SPI0_SSEL);
constexpr INT32U kSpiFunctions = PINSEL_VALUE(PIN_LCD_SCLK, PIN_FUNCTION_SPI0) |
                                 PINSEL_VALUE(PIN_LCD_SDIN, PIN_FUNCTION_SPI0) |
                                 PINSEL_VALUE(PIN_SPI0_SSEL, PIN_FUNCTION_SPI0);

// A byte was written whose SPIF has not been seen yet.
BOOL Sending = FALSE;

}  // namespace

void Spi0Init(void)
{
    PINSEL0 = (PINSEL0 & ~kSpiPins) | kSpiFunctions;
    S0SPCCR = kClockCounter;
    S0SPCR = kSpcrMaster;
    Sending = FALSE;
}

void Spi0Drain(void)
{
    if (Sending)
    {
        // Having read SPSR with SPIF set, the next access to SPDR (the
        // next byte's write) clears SPIF, as the user manual asks.
        while ((S0SPSR & kSpsrSpif) == 0)
        {
        }
        Sending = FALSE;
    }
}

void Spi0Put(INT8U byte)
{
    // SPDR takes no byte while one is shifting: the write would be lost
    // (WCOL).
    Spi0Drain();
    S0SPDR = byte;
    Sending = TRUE;
}
