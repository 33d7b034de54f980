// LCD driver for the 84 x 48 panel, drawing into the RAM frame buffer.
#include "config.h"
#include "lcd/LcdHAL.h"
#include "lcd_frame.h"

extern "C" {
INT8U LcdFrame[LCD_PAGES * LCD_WIDTH];
}

extern "C" void LcdClrScrn(void)
{
    for (INT8U &column : LcdFrame)
    {
        column = 0;
    }
}

extern "C" void LcdSetPixel(INT32U x, INT32U y, BOOL on)
{
    if (x >= LCD_WIDTH || y >= LCD_HIGHT)
    {
        return;
    }
    INT8U &column = LcdFrame[(y / 8) * LCD_WIDTH + x];
    const INT8U bit = static_cast<INT8U>(1u << (y % 8));
    column = on ? (column | bit) : (column & ~bit);
}
