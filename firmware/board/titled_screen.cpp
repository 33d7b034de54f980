#include "config.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "font5x7.h"
#include "lcd.h"
#include "titled_screen.h"

namespace {

constexpr INT32U kCellWidth = FONT_WIDTH + 1;
constexpr INT32U kTitleY = 0;
constexpr INT32U kRuleY = 9;

}  // namespace

void TitledScreenBegin(const CHAR *title)
{
    INT32U length = 0;
    while (title[length] != '\0')
    {
        length++;
    }
    const INT32U width = length * kCellWidth;
    LcdClearFrame();
    GUI_PutString(width < LCD_WIDTH ? (LCD_WIDTH - width) / 2 : 0, kTitleY, title);
    GUI_HLine(kRuleY);
}
