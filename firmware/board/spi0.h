// SPI0 as master for the LCD: SPI mode 0 (SCK idles low, the panel reads
// SDIN on the rising edge), most significant bit first, polled.
#ifndef BOARD_SPI0_H
#define BOARD_SPI0_H

#include "config.h"

// Connects SCK0, MOSI0 and SSEL0 to their pins and makes SPI0 master.
void Spi0Init(void);
// Starts sending `byte` once the byte before it has gone; returns while it
// is still shifting out, so the caller can get the next one ready.
void Spi0Put(INT8U byte);
// Returns once the last byte has gone: lines that go with the bytes (the
// LCD's D/C and SCE) may change only then.
void Spi0Drain(void);

#endif
