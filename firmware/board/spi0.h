// SPI0 as master, the board's one serial bus, MSB first, polled. Two devices
// share SCK0 and MOSI0, each behind a chip select of its own: the LCD's
// controller (SCE, SPI mode 0: it reads SDIN on SCK's rising edge) and the
// TLV5618 DAC (/CS, CPOL 0 with CPHA 1: it takes DIN on the falling edge).
//
// The LCD's bytes go from the foreground (Spi0Put, Spi0Drain), the DAC's
// words from Timer1's interrupt (Spi0DacWord), which may come at any moment
// of an LCD transfer: it lets the LCD's byte in flight finish, lifts SCE for
// the word when the LCD is selected and puts everything back as it found it,
// so that neither device ever sees a partial byte of the other's.
#ifndef BOARD_SPI0_H
#define BOARD_SPI0_H

#include "config.h"

// Connects SCK0, MOSI0 and SSEL0 to their pins, makes SPI0 master in the
// LCD's mode and drives the DAC's /CS high: no device is selected yet.
void Spi0Init(void);
// Starts sending `byte` once the byte before it has gone; returns while it
// is still shifting out, so the caller can get the next one ready.
void Spi0Put(INT8U byte);
// Returns once the last byte has gone: lines that go with the bytes (the
// LCD's D/C and SCE) may change only then.
void Spi0Drain(void);
// Writes one 16-bit word into the DAC, high byte first, /CS low across both
// bytes; returns once the word has gone and /CS is high again. Called from
// the timer interrupt, or from the foreground while that interrupt cannot
// come; only once the bus has carried its first byte (the LCD's set-up).
void Spi0DacWord(INT16U word);

#endif
