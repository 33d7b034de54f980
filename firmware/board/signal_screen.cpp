// The signal screen: table, step, update rate and the frequency they give,
// one line each below the title.
#include "config.h"
#include "key.h"
#include "lcd/LcdHAL.h"
#include "lcd/GUI.h"
#include "lcd.h"
#include "signal_generator.h"
#include "signal_screen.h"
#include "signal_tables.h"
#include "titled_screen.h"

namespace {

constexpr INT32U kTextX = 0;
constexpr INT32U kFirstLineY = TITLED_SCREEN_FIRST_ROW;
constexpr INT32U kLinePitch = 8;
// A line of the 84-pixel screen holds 14 characters of 6 pixels: "Rate"
// and a rate of five digits fit.
constexpr INT32U kLineChars = LCD_WIDTH / 6;
static_assert(kSignalRates[kSignalRateCount - 1] < 100000, "a rate's line would not fit the screen");

INT32U Table = 0;
INT32U Rate = 0;

// Appends `text` at `at`, returns the end.
CHAR *Append(CHAR *at, const CHAR *text)
{
    while (*text != '\0')
    {
        *at++ = *text++;
    }
    return at;
}

// Appends `value` in decimal, at least `digits` digits (at most ten).
CHAR *AppendNumber(CHAR *at, INT32U value, INT32U digits = 1)
{
    CHAR reversed[10];
    INT32U count = 0;
    do
    {
        reversed[count++] = static_cast<CHAR>('0' + value % 10);
        value /= 10;
    } while ((value != 0 || count < digits) && count < sizeof reversed);
    while (count > 0)
    {
        *at++ = reversed[--count];
    }
    return at;
}

void PutLine(INT32U line, const CHAR *text)
{
    GUI_PutString(kTextX, kFirstLineY + line * kLinePitch, text);
}

void Draw()
{
    const SignalTable &table = SignalTables[Table];
    const INT32U rate = kSignalRates[Rate];
    CHAR text[kLineChars + 1];

    TitledScreenBegin("Signal");

    *AppendNumber(Append(text, "Table "), table.option) = '\0';
    PutLine(0, text);
    *AppendNumber(Append(text, "Step "), table.step) = '\0';
    PutLine(1, text);
    *Append(AppendNumber(Append(text, "Rate "), rate), " Hz") = '\0';
    PutLine(2, text);
    const INT32U milliHertz = SignalMilliHertz(rate, table.length);
    CHAR *at = AppendNumber(Append(text, "f "), milliHertz / 1000);
    *at++ = '.';
    *Append(AppendNumber(at, milliHertz % 1000, 3), " Hz") = '\0';
    PutLine(3, text);
    LcdFlush();
}

void Play()
{
    SignalPlay(&SignalTables[Table], kSignalRates[Rate]);
    Draw();
}

}  // namespace

extern "C" void SysSignal(void)
{
    Table = 0;
    Rate = 0;
    Play();
}

extern "C" BOOL SignalScreenKey(INT8U key)
{
    switch (key)
    {
    case KEY_DOWN | KEY_1:
        Table = (Table == 0 ? SignalTableCount : Table) - 1;
        Play();
        return TRUE;
    case KEY_DOWN | KEY_2:
        Table = Table + 1 == SignalTableCount ? 0 : Table + 1;
        Play();
        return TRUE;
    case KEY_DOWN | KEY_3:
        Rate = Rate + 1 == kSignalRateCount ? 0 : Rate + 1;
        Play();
        return TRUE;
    case KEY_DOWN | KEY_4:
        SignalStop();
        return FALSE;
    default:
        return TRUE;
    }
}
