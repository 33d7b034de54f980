/* Registers as Keil-style headers declare them: bytes and halfwords where
   the user manual's registers are 8 or 16 bits wide, so that the compiler
   makes strb/ldrb and strh/ldrh of T0IR, T0TCR, T0MCR, PLLCON, PLLCFG,
   PLLFEED, PLLSTAT and VPBDIV. The PLL to 44.2 MHz through its feed, a
   1 kHz Timer0 tick, and GPIO ports 1 to 3. */
#include "lpc.h"

#undef T0IR
#undef T0TCR
#undef T0MCR
#undef VPBDIV
#define BYTE_REG(address) (*(volatile unsigned char *)(address))
#define HALF_REG(address) (*(volatile unsigned short *)(address))

#define T0IR BYTE_REG(0xE0004000)
#define T0TCR BYTE_REG(0xE0004004)
#define T0MCR HALF_REG(0xE0004014)
#define PLLCON BYTE_REG(0xE01FC080)
#define PLLCFG BYTE_REG(0xE01FC084)
#define PLLSTAT HALF_REG(0xE01FC088)
#define PLLFEED BYTE_REG(0xE01FC08C)
#define VPBDIV BYTE_REG(0xE01FC100)

#define IO1PIN REG(0xE0028010)
#define IO1SET REG(0xE0028014)
#define IO1DIR REG(0xE0028018)
#define IO1CLR REG(0xE002801C)
#define IO2PIN REG(0xE0028020)
#define IO2DIR REG(0xE0028028)
#define IO3PIN REG(0xE0028030)
#define IO3SET REG(0xE0028034)
#define IO3DIR REG(0xE0028038)

volatile unsigned ticks;
volatile unsigned pllstat; /* PLLSTAT once connected */
volatile unsigned mcr;     /* T0MCR read back */
volatile unsigned port1, port2, port3;

IRQ_HANDLER void tick_isr(void)
{
    T0IR = 1;
    ++ticks;
    VICVectAddr = 0;
}

int main(void)
{
    PLLCFG = 0x23; /* M = 4, P = 2 */
    PLLCON = 1;
    PLLFEED = 0xAA;
    PLLFEED = 0x55;
    while ((PLLSTAT & (1u << 10)) == 0) {
    }
    PLLCON = 3;
    PLLFEED = 0xAA;
    PLLFEED = 0x55;
    pllstat = PLLSTAT;
    VPBDIV = 1; /* pclk = cclk = 4 x the crystal */

    T0MR0 = 4 * FOSC / 1000 - 1;
    T0MCR = 3; /* MR0: interrupt, reset */
    mcr = T0MCR;
    VICVectAddrN(0) = (unsigned)tick_isr;
    VICVectCntlN(0) = 0x20 | CH_TIMER0;
    VICIntEnable = 1u << CH_TIMER0;
    T0TCR = 1;

    IO1DIR = 0x00FF0000; /* P1.16..23 outputs */
    IO1SET = 0x00A50000;
    IO1CLR = 0x00050000;
    IO2DIR = 0xFFFFFFFF;
    IO2PIN = 0x12345678;
    IO3DIR = 0x0000FFFF;
    IO3SET = 0x0000C3C3;
    port1 = IO1PIN;
    port2 = IO2PIN;
    port3 = IO3PIN;

    while (ticks < 10) {
    }
    T0TCR = 0;
    return 0;
}
