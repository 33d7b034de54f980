// Menu engine: a title and two entries, the selected one marked with '>'.
// KEY_1 moves up, KEY_2 down, KEY_3 runs the selected entry, KEY_4 goes back
// to the first entry. The whole menu is drawn afresh into the LCD's frame,
// but only what changed (the marker, mostly) goes to the panel.
#include "config.h"
#include "key.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"
#include "keys.h"
#include "lcd.h"

namespace {

struct MenuEntry
{
    const CHAR *label;
    void (*action)(void);
    BOOL redrawAfter;   // the action leaves the screen changed
};

const MenuEntry kEntries[] = {
    {"Version", SysVersion, TRUE},
    {"Author", SysAuthor, FALSE},
};
constexpr INT32U kEntryCount = sizeof kEntries / sizeof kEntries[0];

constexpr INT32U kTitleX = 30;
constexpr INT32U kTitleY = 0;
constexpr INT32U kRuleY = 9;
constexpr INT32U kMarkerX = 6;
constexpr INT32U kLabelX = 18;
constexpr INT32U kFirstEntryY = 16;
constexpr INT32U kEntryPitch = 8;

INT32U Selected = 0;

void MenuDraw()
{
    LcdClearFrame();
    GUI_PutString(kTitleX, kTitleY, "Menu");
    GUI_HLine(kRuleY);
    for (INT32U i = 0; i < kEntryCount; i++)
    {
        const INT32U y = kFirstEntryY + i * kEntryPitch;
        if (i == Selected)
        {
            GUI_PutString(kMarkerX, y, ">");
        }
        GUI_PutString(kLabelX, y, kEntries[i].label);
    }
    LcdFlush();
}

}  // namespace

extern "C" void Menu_Init(void)
{
    Selected = 0;
    MenuDraw();
}

extern "C" void DealKey(void)
{
    switch (KeyGetPress())
    {
    case KEY_DOWN | KEY_1:
        if (Selected > 0)
        {
            Selected--;
            MenuDraw();
        }
        break;
    case KEY_DOWN | KEY_2:
        if (Selected + 1 < kEntryCount)
        {
            Selected++;
            MenuDraw();
        }
        break;
    case KEY_DOWN | KEY_3:
        kEntries[Selected].action();
        if (kEntries[Selected].redrawAfter)
        {
            MenuDraw();
        }
        break;
    case KEY_DOWN | KEY_4:
        Selected = 0;
        MenuDraw();
        break;
    default:
        break;
    }
}
