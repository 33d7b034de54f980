// LCD driver for the 84 x 48 panel and its PCD8544 controller: SDIN and
// SCLK from SPI0, D/C, SCE and RES on GPIO pins (wiring.h). Commands and
// timing from the controller's datasheet.
#include "config.h"
#include "lcd/LcdHAL.h"
#include "lcd.h"
#include "spi0.h"
#include "wiring.h"

extern "C" {
INT8U LcdFrame[LCD_PAGES * LCD_WIDTH];
}

namespace {

constexpr INT32U kFrameBytes = LCD_PAGES * LCD_WIDTH;

constexpr INT32U kDc = PIN_MASK(PIN_LCD_DC);
constexpr INT32U kSce = PIN_MASK(PIN_LCD_SCE);
constexpr INT32U kRes = PIN_MASK(PIN_LCD_RES);

// Commands: an opcode, with the command's value in its low bits.
constexpr INT8U WithValue(INT8U opcode, INT8U value)
{
    return static_cast<INT8U>(opcode | value);
}

// Function set (either instruction set): 0010 0 PD V H.
constexpr INT8U kFunctionSet = 0x20;    // PD = 0 (on), V = 0 (horizontal addressing), H = 0
constexpr INT8U kExtended = 0x01;       // H = 1
// Basic instruction set.
constexpr INT8U kDisplayNormal = 0x0C;  // display control: D = 1, E = 0
constexpr INT8U kSetY = 0x40;           // | bank 0..5
constexpr INT8U kSetX = 0x80;           // | column 0..83
// Extended instruction set.
constexpr INT8U kTemperature = 0x04;    // | TC
constexpr INT8U kBias = 0x10;           // | BS
constexpr INT8U kSetVop = 0x80;         // | Vop
// The LCD voltage is 3.06 V + 0.06 V x Vop: 56 gives 6.42 V, the middle of
// what these panels want. Tune it per panel if the contrast is off.
constexpr INT8U kVop = 56;
constexpr INT8U kTemperatureCoefficient = 0;
// n = 4 (BS = 3): bias 1/8, the datasheet's choice for a 1:48 multiplex rate.
constexpr INT8U kBias1To48 = 3;

// RES must stay low for at least 100 ns: a microsecond's worth of turns,
// each at least one cycle.
constexpr INT32U kResetHoldTurns = Fcclk / 1000000;

// Joining two changed stretches costs the unchanged bytes between them;
// addressing the second costs two commands and two D/C changes.
constexpr INT32U kJoinGap = 3;

// What the panel's display RAM holds, as far as this driver has sent it;
// until PanelKnown, anything (the panel powers up holding noise), so the
// start-up need not zero it.
__attribute__((section(".noinit"))) INT8U Panel[kFrameBytes];
BOOL PanelKnown = FALSE;
BOOL Ready = FALSE;
BOOL DataMode = FALSE;  // D/C as last set

void Select()
{
    IO0CLR = kSce;
}

void Deselect()
{
    Spi0Drain();
    IO0SET = kSce;
}

// D/C is read with each byte's last bit: it may change only between bytes.
void SetDataMode(BOOL data)
{
    if (data != DataMode)
    {
        Spi0Drain();
        if (data)
        {
            IO0SET = kDc;
        }
        else
        {
            IO0CLR = kDc;
        }
        DataMode = data;
    }
}

void Command(INT8U command)
{
    SetDataMode(FALSE);
    Spi0Put(command);
}

// Bytes [begin, end) of the shadow, through horizontal addressing, which
// runs on into the next bank at the end of one.
void SendStretch(INT32U begin, INT32U end)
{
    Command(WithValue(kSetY, static_cast<INT8U>(begin / LCD_WIDTH)));
    Command(WithValue(kSetX, static_cast<INT8U>(begin % LCD_WIDTH)));
    SetDataMode(TRUE);
    for (INT32U i = begin; i < end; i++)
    {
        Spi0Put(LcdFrame[i]);
        Panel[i] = LcdFrame[i];
    }
}

// The first time: the whole frame, then the display on, so that the
// noise the RAM powered up with never shows.
void SendWholeFrame()
{
    Select();
    SendStretch(0, kFrameBytes);
    Command(kDisplayNormal);
    Deselect();
    PanelKnown = TRUE;
}

}  // namespace

// Out of line, so that it is one call a debugger (or a test of the
// simulator) can find by its symbol.
extern "C" __attribute__((noinline)) void LcdSetUp(void)
{
    Command(WithValue(kFunctionSet, kExtended));
    Command(WithValue(kSetVop, kVop));
    Command(WithValue(kTemperature, kTemperatureCoefficient));
    Command(WithValue(kBias, kBias1To48));
    Command(kFunctionSet);
}

extern "C" void LcdInit(void)
{
    Ready = FALSE;
    PanelKnown = FALSE;
    Spi0Init();
    // Levels first, then outputs: SCE and D/C go out high, RES low, which
    // starts the reset pulse.
    IO0SET = kSce | kDc;
    IO0CLR = kRes;
    IO0DIR = IO0DIR | kSce | kDc | kRes;
    DataMode = TRUE;
    for (INT32U turn = 0; turn < kResetHoldTurns; turn++)
    {
        __asm__ volatile("");
    }
    IO0SET = kRes;

    Select();
    LcdSetUp();
    Deselect();
    Ready = TRUE;
}

extern "C" void LcdClearFrame(void)
{
    for (INT8U &column : LcdFrame)
    {
        column = 0;
    }
}

extern "C" void LcdFlush(void)
{
    if (!Ready)
    {
        return;
    }
    if (!PanelKnown)
    {
        SendWholeFrame();
        return;
    }
    BOOL selected = FALSE;
    INT32U i = 0;
    while (i < kFrameBytes)
    {
        if (LcdFrame[i] == Panel[i])
        {
            i++;
            continue;
        }
        INT32U last = i;
        for (INT32U j = i + 1; j < kFrameBytes && j - last <= kJoinGap + 1; j++)
        {
            if (LcdFrame[j] != Panel[j])
            {
                last = j;
            }
        }
        if (!selected)
        {
            Select();
            selected = TRUE;
        }
        SendStretch(i, last + 1);
        i = last + 1;
    }
    if (selected)
    {
        Deselect();
    }
}

extern "C" void LcdClrScrn(void)
{
    LcdClearFrame();
    LcdFlush();
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
