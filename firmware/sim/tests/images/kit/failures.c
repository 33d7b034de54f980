/* What a probe does wrong, chosen by FAILURE:
   1  writes the watchdog, which the simulator does not model;
   2  reads an address where the chip has nothing: the data abort's handler
      is the start-up's "b .";
   3  powers down with no way to wake up;
   4  masks interrupts and waits for ever;
   5  stores a byte into T0TC, a 32-bit register the chip writes whole;
   6  runs the PLL's oscillator below the data sheet's range (Fcco 88.5 MHz),
      which real chips do all the same. */
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
#elif FAILURE == 5
    *(volatile unsigned char *)0xE0004008 = 5; /* T0TC */
#elif FAILURE == 6
    REG(0xE01FC084) = 0x03; /* PLLCFG: M = 4, P = 1 */
    REG(0xE01FC080) = 1;
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
    while ((REG(0xE01FC088) & (1u << 10)) == 0) {
    }
    REG(0xE01FC080) = 3;
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
#endif
    return 0;
}
