// The LCD driver's board side. Drawing (LcdSetPixel, the GUI) goes into a
// frame in RAM, the shadow of what the panel should show: 6 pages of 84
// columns, byte [page * 84 + x], bit n is pixel (x, page * 8 + n), 1 =
// dark, the layout of the panel controller's own display RAM. LcdFlush puts
// the shadow on the panel, sending only the bytes that differ from what the
// panel was last sent.
#ifndef BOARD_LCD_H
#define BOARD_LCD_H

#include "config.h"
#include "lcd/LcdHAL.h"

#define LCD_PAGES (LCD_HIGHT / 8)

#ifdef __cplusplus
extern "C" {
#endif

extern INT8U LcdFrame[LCD_PAGES * LCD_WIDTH];

// Resets the panel's controller and sets it up; the glass stays empty
// until the first LcdFlush (or LcdClrScrn) has filled the panel's RAM.
void LcdInit(void);
// The controller's set-up after its reset: bias, voltage, temperature
// coefficient, basic instruction set. Part of LcdInit.
void LcdSetUp(void);
// Clears the shadow only; the panel keeps its picture until LcdFlush.
void LcdClearFrame(void);
// Sends what changed in the shadow; returns once the panel has it all.
void LcdFlush(void);

#ifdef __cplusplus
}
#endif

#endif
