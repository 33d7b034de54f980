/* The LPC2294 registers the probe programs use, at the user manual's
   addresses. */
#ifndef PROBE_LPC_H
#define PROBE_LPC_H

#define REG(address) (*(volatile unsigned int *)(address))

#define T0IR REG(0xE0004000)
#define T0TCR REG(0xE0004004)
#define T0TC REG(0xE0004008)
#define T0PR REG(0xE000400C)
#define T0MCR REG(0xE0004014)
#define T0MR0 REG(0xE0004018)
#define T1IR REG(0xE0008000)
#define T1TCR REG(0xE0008004)
#define T1TC REG(0xE0008008)
#define T1MCR REG(0xE0008014)
#define T1MR0 REG(0xE0008018)

#define U0RBR REG(0xE000C000)
#define U0THR REG(0xE000C000)
#define U0DLL REG(0xE000C000)
#define U0IER REG(0xE000C004)
#define U0DLM REG(0xE000C004)
#define U0IIR REG(0xE000C008)
#define U0FCR REG(0xE000C008)
#define U0LCR REG(0xE000C00C)
#define U0LSR REG(0xE000C014)

#define S0SPCR REG(0xE0020000)
#define S0SPSR REG(0xE0020004)
#define S0SPDR REG(0xE0020008)
#define S0SPCCR REG(0xE002000C)

#define IO0PIN REG(0xE0028000)
#define IO0SET REG(0xE0028004)
#define IO0DIR REG(0xE0028008)
#define IO0CLR REG(0xE002800C)
#define PINSEL0 REG(0xE002C000)
#define PINSEL1 REG(0xE002C004)

#define WDMOD REG(0xE0000000)
#define WDTC REG(0xE0000004)
#define WDFEED REG(0xE0000008)
#define WDTV REG(0xE000000C)

#define ADCR REG(0xE0034000)
#define ADDR REG(0xE0034004)

#define PCON REG(0xE01FC0C0)
#define VPBDIV REG(0xE01FC100)
#define EXTINT REG(0xE01FC140)
#define EXTWAKE REG(0xE01FC144)

#define VICIRQStatus REG(0xFFFFF000)
#define VICRawIntr REG(0xFFFFF008)
#define VICIntSelect REG(0xFFFFF00C)
#define VICIntEnable REG(0xFFFFF010)
#define VICIntEnClr REG(0xFFFFF014)
#define VICSoftInt REG(0xFFFFF018)
#define VICSoftIntClear REG(0xFFFFF01C)
#define VICVectAddr REG(0xFFFFF030)
#define VICDefVectAddr REG(0xFFFFF034)
#define VICVectAddrN(n) REG(0xFFFFF100 + 4 * (n))
#define VICVectCntlN(n) REG(0xFFFFF200 + 4 * (n))

#define CH_WDT 0
#define CH_TIMER0 4
#define CH_TIMER1 5
#define CH_UART0 6
#define CH_EINT0 14
#define CH_EINT1 15
#define CH_EINT2 16
#define CH_AD 18

/* Handlers run in ARM state whatever the program is compiled for. */
#define IRQ_HANDLER __attribute__((interrupt("IRQ"), target("arm")))
#define FIQ_HANDLER __attribute__((interrupt("FIQ"), target("arm")))

/* The clock plan of the board's firmware: the PLL at 4 x 11.0592 MHz
   through its feed sequence, connected once locked; the MAM fully on with
   3 fetch cycles. */
static inline void full_speed(void)
{
    REG(0xE01FC084) = 0x23; /* PLLCFG: M = 4, P = 2 */
    REG(0xE01FC080) = 1;    /* PLLCON: enable */
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
    while ((REG(0xE01FC088) & (1u << 10)) == 0) { /* PLOCK */
    }
    REG(0xE01FC080) = 3; /* connect */
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
    REG(0xE01FC004) = 3; /* MAMTIM */
    REG(0xE01FC000) = 2; /* MAMCR: fully on */
}

/* The crystal, and the peripheral clock once VPBDIV = 1 (no PLL). */
#define FOSC 11059200u

/* UART0 on TxD0/RxD0 at 115200 baud 8N1 from that clock, its FIFO control
   register set to `fcr`. */
static inline void uart0_open(unsigned fcr)
{
    VPBDIV = 1;
    PINSEL0 = 0x5;            /* TxD0, RxD0 */
    U0LCR = 0x83;             /* 8N1, divisor latch */
    U0DLL = 6;                /* 11.0592 MHz / (16 x 6) = 115200 baud */
    U0DLM = 0;
    U0LCR = 0x03;
    U0FCR = fcr;
}

#endif
