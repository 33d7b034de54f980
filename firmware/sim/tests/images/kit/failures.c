/* What a probe does wrong, chosen by FAILURE:
   1  writes the watchdog, which the simulator does not model;
   2  reads an address where the chip has nothing: the data abort's handler
      is the start-up's "b .";
   3  powers down with no way to wake up;
   4  masks interrupts and waits for ever. */
#include "lpc.h"

#if FAILURE == 4
__attribute__((target("arm"), noinline)) static void wait_masked(void)
{
    __asm__ volatile("msr cpsr_c, #0xDF");
    for (;;) {
    }
}
#endif

int main(void)
{
    VPBDIV = 1;
#if FAILURE == 1
    REG(0xE0000000) = 3;  /* WDMOD */
#elif FAILURE == 2
    (void)REG(0x80000000);
#elif FAILURE == 3
    PCON = 2;
#elif FAILURE == 4
    wait_masked();
#endif
    return 0;
}
