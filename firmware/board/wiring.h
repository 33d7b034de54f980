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

/* The LCD's serial lines on SPI0, master: SCLK on SCK0, SDIN on MOSI0,
   function 01 in PINSEL0. The panel only listens, so MISO0 (P0.5) stays
   a GPIO input. SSEL0 is selected as SSEL0 and held high by a pull-up on
   the board: master mode takes a mode fault whenever SSEL0 goes low, and
   this way it never can. */
#define PIN_LCD_SCLK        4
#define PIN_LCD_SDIN        6
#define PIN_SPI0_SSEL       7
#define PIN_FUNCTION_SPI0   1

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

#endif
