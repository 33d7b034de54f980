/* A 1 kHz tick from Timer0 through vectored slot 0, counting in RAM; with
   IDLE defined, the main loop sleeps (PCON.IDL) between ticks. */
#include "lpc.h"

volatile unsigned ticks;
volatile unsigned wakeups;

IRQ_HANDLER void tick_isr(void)
{
    T0IR = 1;
    ++ticks;
    VICVectAddr = 0;
}

int main(void)
{
    VPBDIV = 1;                  /* pclk = cclk = the crystal */
    T0MR0 = FOSC / 1000 - 1;     /* a period is MR0 + 1 counts */
    T0MCR = 3;                   /* MR0: interrupt, reset */
    VICVectAddrN(0) = (unsigned)tick_isr;
    VICVectCntlN(0) = 0x20 | CH_TIMER0;
    VICIntEnable = 1u << CH_TIMER0;
    T0TCR = 1;
    while (ticks < 100) {
#ifdef IDLE
        PCON = 1;
        ++wakeups;
#endif
    }
    T0TCR = 0;
    return 0;
}
