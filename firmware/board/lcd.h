// The LCD's picture: a frame buffer in RAM that a simulator or debugger reads
// by its symbol. 6 pages of 84 columns; byte [page * 84 + x], bit n is pixel
// (x, page * 8 + n), 1 = dark.
#ifndef BOARD_LCD_FRAME_H
#define BOARD_LCD_FRAME_H

#include "config.h"
#include "lcd/LcdHAL.h"

#define LCD_PAGES (LCD_HIGHT / 8)

#ifdef __cplusplus
extern "C" {
#endif

extern INT8U LcdFrame[LCD_PAGES * LCD_WIDTH];

#ifdef __cplusplus
}
#endif

#endif
