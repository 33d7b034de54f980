// Text drawing: characters from the 5 x 7 font in 6 x 8 cells, into the
// LCD driver's frame; LcdFlush puts them on the panel.
#include "config.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "font5x7.h"
#include "lcd.h"

namespace {

constexpr INT32U kCellWidth = FONT_WIDTH + 1;
constexpr INT32U kCellHeight = FONT_HEIGHT + 1;

// Draws the whole cell, background included, so text can overwrite text.
void PutChar(INT32U x, INT32U y, CHAR c)
{
    const INT8U *rows = FontGlyph(c);
    for (INT32U row = 0; row < kCellHeight; row++)
    {
        const INT8U bits = row < FONT_HEIGHT ? rows[row] : 0;
        for (INT32U col = 0; col < kCellWidth; col++)
        {
            const BOOL on = (col < FONT_WIDTH && (bits & (0x10u >> col)) != 0) ? TRUE : FALSE;
            LcdSetPixel(x + col, y + row, on);
        }
    }
}

}  // namespace

extern "C" void GUI_Init(void)
{
    LcdInit();
    LcdClrScrn();
}

extern "C" void GUI_PutString(INT32U x, INT32U y, const CHAR *str)
{
    for (; *str != '\0' && x < LCD_WIDTH; str++, x += kCellWidth)
    {
        PutChar(x, y, *str);
    }
}

extern "C" void GUI_HLine(INT32U y)
{
    for (INT32U x = 0; x < LCD_WIDTH; x++)
    {
        LcdSetPixel(x, y, TRUE);
    }
}
