// Menu engine: a title and three entries, the selected one marked with '>'.
// KEY_1 moves up, KEY_2 down, KEY_3 runs the selected entry, KEY_4 goes back
// to the first entry. The whole menu is drawn afresh into the LCD's frame,
// but only what changed (the marker, mostly) goes to the panel. An entry may
// open a screen of its own ("Signal"): its keys then go to that screen until
// it closes, and the menu comes back with the marker where it was.
#include "config.h"
#include "key.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "menu/MENU.h"
#include "keys.h"
#include "lcd.h"
#include "signal_screen.h"
#include "titled_screen.h"

namespace {

struct MenuEntry
{
    const CHAR *label;
    void (*action)(void);
    BOOL redrawAfter;   // the action leaves the screen changed
    // The screen the action opened, given each fresh key press while it
    // is open; it returns FALSE when it closes. None for most entries.
    BOOL (*screenKeys)(INT8U key);
};

const MenuEntry kEntries[] = {
    {"Version", SysVersion, TRUE, nullptr},
    {"Author", SysAuthor, FALSE, nullptr},
    {"Signal", SysSignal, FALSE, SignalScreenKey},
};
constexpr INT32U kEntryCount = sizeof kEntries / sizeof kEntries[0];

constexpr INT32U kMarkerX = 6;
constexpr INT32U kLabelX = 18;
constexpr INT32U kFirstEntryY = TITLED_SCREEN_FIRST_ROW;
constexpr INT32U kEntryPitch = 8;

INT32U Selected = 0;
BOOL (*OpenScreenKeys)(INT8U key) = nullptr;

void MenuDraw()
{
    TitledScreenBegin("Menu");
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
    OpenScreenKeys = nullptr;
    MenuDraw();
}

extern "C" void DealKey(void)
{
    const INT8U key = KeyGetPress();
    if (OpenScreenKeys != nullptr)
    {
        if (key != NO_KEY && !OpenScreenKeys(key))
        {
            OpenScreenKeys = nullptr;
            MenuDraw();
        }
        return;
    }
    switch (key)
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
        OpenScreenKeys = kEntries[Selected].screenKeys;
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
