/* A 1 kHz tick from Timer0 through the VIC, and an idle loop that waits for
   it by polling a flag in RAM: the shape of an RTOS's idle task. */
#include "lpc.h"

volatile unsigned ticks;
volatile unsigned seen;

IRQ_HANDLER void tick_isr(void)
{
    T0IR = 1;
    ++ticks;
    VICVectAddr = 0;
}

int main(void)
{
    full_speed();
    VPBDIV = 1;  /* pclk = cclk = 44.2368 MHz */
    T0MR0 = 44236800u / 1000 - 1;
    T0MCR = 3;
    VICVectAddrN(0) = (unsigned)tick_isr;
    VICVectCntlN(0) = 0x20 | CH_TIMER0;
    VICIntEnable = 1u << CH_TIMER0;
    T0TCR = 1;
    for (;;) {
        while (seen == ticks) {
        }
        ++seen;
    }
}
