/* Powers down until KEY_1 (P0.16 as EINT0, allowed to wake the chip by
   EXTWAKE) is pressed, then notes the wake-up. */
#include "lpc.h"

volatile unsigned woken;

int main(void)
{
    VPBDIV = 1;
    PINSEL1 = (PINSEL1 & ~3u) | 1u;  /* P0.16: EINT0 */
    EXTINT = 1;
    EXTWAKE = 1;
    PCON = 2;
    woken = 1;
    EXTINT = 1;
    return 0;
}
