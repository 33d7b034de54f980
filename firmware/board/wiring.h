/* Every pin of the board: what is wired to which pin of port 0, and the
   pin connect block's function for it where it is not GPIO. A board wired
   differently changes this file. Pins not named here are free. */
#ifndef BOARD_WIRING_H
#define BOARD_WIRING_H

#define PIN_MASK(pin)       (1u << (pin))
/* PINSEL0 holds P0.0..P0.15 and PINSEL1 P0.16..P0.31, two bits a pin. */
#define PINSEL_SHIFT(pin)   (2u * ((pin) % 16u))
#define PINSEL_FIELD(pin)   (3u << PINSEL_SHIFT(pin))
#define PINSEL_VALUE(pin, function)  ((unsigned)(function) << PINSEL_SHIFT(pin))

/* UART0 to the host's terminal: TxD0 and RxD0, function 01 in PINSEL0. */
#define PIN_TXD0            0
#define PIN_RXD0            1
#define PIN_FUNCTION_UART0  1

/* SPI0 as master is the board's one serial bus, function 01 in PINSEL0:
   the LCD and the DAC share SCK0 (P0.4) and MOSI0 (P0.6), each with a
   chip select of its own on a GPIO pin. Both only listen, so MISO0 (P0.5)
   stays a GPIO input. SSEL0 is selected as SSEL0 and held high by a
   pull-up on the board: master mode takes a mode fault whenever SSEL0
   goes low, and this way it never can. */
#define PIN_LCD_SCLK        4
#define PIN_LCD_SDIN        6
#define PIN_SPI0_SSEL       7
#define PIN_FUNCTION_SPI0   1

/* The TLV5618 DAC (reference 1.49 V, full scale 2.98 V): SCLK and DIN on
   the LCD's SCK0 and MOSI0, /CS on a GPIO output of its own, high (and
   pulled up on the board) whenever the DAC is not being written. */
#define PIN_DAC_SCLK        4
#define PIN_DAC_DIN         6
#define PIN_DAC_CS          23

/* Low at reset enters the boot loader: nothing on the board may pull it low. */
#define PIN_BOOT            14

/* KEY_1..KEY_4 on four pins in a row, each pulled up on the board and
   grounded while its key is pressed. */
#define PIN_KEY_1           16

/* The LCD's control lines on GPIO outputs: D/C (low: command, high:
   display data), SCE (chip enable, low active), RES (reset, low active). */
#define PIN_LCD_DC          20
#define PIN_LCD_SCE         21
#define PIN_LCD_RES         22

/* The status LED (main's SysLED). */
#define PIN_LED             31

/* Every pin that serves one function alone, each listed once: the shared
   bus's SCK0 and MOSI0 once for both its devices. */
#define PINS_OF_ONE_FUNCTION \
    PIN_TXD0, PIN_RXD0, PIN_LCD_SCLK, PIN_LCD_SDIN, PIN_SPI0_SSEL, PIN_BOOT, \
    PIN_KEY_1, PIN_KEY_1 + 1, PIN_KEY_1 + 2, PIN_KEY_1 + 3, \
    PIN_LCD_DC, PIN_LCD_SCE, PIN_LCD_RES, PIN_DAC_CS, PIN_LED

#ifdef __cplusplus
/* True when every pin is one of port 0's and no two are the same. */
template <unsigned N>
constexpr bool WiringPinsDistinct(const unsigned (&pins)[N])
{
    unsigned taken = 0;
    for (unsigned pin : pins)
    {
        if (pin > 31 || (taken & PIN_MASK(pin)) != 0)
        {
            return false;
        }
        taken |= PIN_MASK(pin);
    }
    return true;
}

namespace wiring_check {
constexpr unsigned kPinsOfOneFunction[] = {PINS_OF_ONE_FUNCTION};
}
static_assert(WiringPinsDistinct(wiring_check::kPinsOfOneFunction), "two functions wired to one pin");
/* SCK0 and MOSI0 exist on these pins only; the DAC is on the LCD's bus. */
static_assert(PIN_LCD_SCLK == 4 && PIN_LCD_SDIN == 6 && PIN_SPI0_SSEL == 7, "SPI0's pins are P0.4, P0.6, P0.7");
static_assert(PIN_DAC_SCLK == PIN_LCD_SCLK && PIN_DAC_DIN == PIN_LCD_SDIN, "the DAC shares the LCD's SPI0");
#endif

#endif
