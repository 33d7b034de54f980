// Key driver: KEY_1..KEY_4 on four pins in a row from PIN_KEY_1 (wiring.h),
// inputs with board pull-ups, a pressed key reads 0. Polled; no interrupts. Contacts bounce for a few
// milliseconds when they close and open, so the keys count as down or up
// only once they have read the same for a settling time, measured with
// Timer0 counting the peripheral clock.
#include "config.h"
#include "key.h"
#include "keys.h"
#include "wiring.h"

namespace {

constexpr unsigned kFirstKeyPin = PIN_KEY_1;
constexpr INT32U kKeyPins = 0xFu << kFirstKeyPin;

// Longer than contacts chatter, shorter than a main-loop pass, so that two
// passes that see the same keys agree on them.
constexpr INT32U kSettleMs = 10;
constexpr INT32U kSettleTicks = Fpclk / 1000 * kSettleMs;

constexpr INT32U kTimerReset = 0x2;
constexpr INT32U kTimerEnable = 0x1;

// Keys down as last settled, bit 0 = KEY_1; and what the pins read lately,
// since when (Timer0 ticks).
INT32U SettledDown = 0;
INT32U LastRead = 0;
INT32U LastChange = 0;
// Keys down at the last KeyGetPress. Starts as "all up".
INT32U PreviousDown = 0;

INT32U SampleKeysDown()
{
    const INT32U now = T0TC;
    const INT32U read = (~IO0PIN & kKeyPins) >> kFirstKeyPin;
    if (read != LastRead)
    {
        LastRead = read;
        LastChange = now;
    }
    else if (now - LastChange >= kSettleTicks)   // unsigned: right across a wrap of TC
    {
        SettledDown = read;
    }
    return SettledDown;
}

}  // namespace

extern "C" void KeySysInit(void)
{
    IO0DIR = IO0DIR & ~kKeyPins;
    // Timer0 counts every peripheral clock: a 32-bit wrap takes over six
    // minutes, far longer than any settling.
    T0TCR = kTimerReset;
    T0PR = 0;
    T0TCR = kTimerEnable;
    SettledDown = 0;
    LastRead = 0;
    LastChange = T0TC;
    PreviousDown = 0;
}

INT8U KeyGetPress(void)
{
    const INT32U down = SampleKeysDown();
    const INT32U pressed = down & ~PreviousDown;
    PreviousDown = down;

    for (INT8U key = KEY_1; key <= KEY_4; key++)
    {
        if (pressed & (1u << (key - KEY_1)))
        {
            return KEY_DOWN | key;
        }
    }
    return NO_KEY;
}

extern "C" void WaitAnyKeyDown(void)
{
    // A key still held from before the call (typically the one that started
    // the caller) does not count: wait for it to be let go first.
    while (SampleKeysDown() != 0)
    {
    }
    while (SampleKeysDown() == 0)
    {
    }
    while (SampleKeysDown() != 0)
    {
    }
    PreviousDown = 0;
}
