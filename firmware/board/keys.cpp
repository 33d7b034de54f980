// Key driver: KEY_1..KEY_4 on P0.16..P0.19, inputs with pull-ups, a pressed
// key reads 0. Polled; no interrupts.
#include "config.h"
#include "key.h"
#include "keys.h"

namespace {

constexpr unsigned kFirstKeyPin = 16;
constexpr INT32U kKeyPins = 0xFu << kFirstKeyPin;

// Keys down at the last sample, bit 0 = KEY_1. Starts as "all up".
INT32U PreviousDown = 0;

INT32U SampleKeysDown()
{
    return (~IO0PIN & kKeyPins) >> kFirstKeyPin;
}

}  // namespace

extern "C" void KeySysInit(void)
{
    IO0DIR = IO0DIR & ~kKeyPins;
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
