/* The watchdog at 10 ms (27648 counts of pclk / 4 at pclk = 11.0592 MHz).
   RESET: says "hello", arms the watchdog with WDRESET and never feeds it;
   after the reset it finds WDTOF set, says "hello" again and whether RAM
   kept what it wrote before, and stops. FEED: feeds it in time, 20 times.
   INTERRUPT: lets it run out into its interrupt (WDEN only). */
#include "lpc.h"

#define WDEN 1u
#define WDRESET 2u
#define WDTOF 4u
#define WDINT 8u
#define MARKER 0x5EED1234u

/* Not touched by the start-up: survives a reset. */
volatile unsigned marker __attribute__((section(".noinit")));
volatile unsigned boots __attribute__((section(".noinit")));
volatile unsigned wdmod_at_start;
volatile unsigned feeds;
volatile unsigned timeouts;
volatile unsigned wdmod_in_handler;
volatile unsigned last_count;

static void put(const char* s)
{
    for (; *s != 0; ++s) {
        while ((U0LSR & 0x20) == 0) {
        }
        U0THR = (unsigned char)*s;
    }
}

static void feed(void)
{
    WDFEED = 0xAA;
    WDFEED = 0x55;
}

IRQ_HANDLER void watchdog_isr(void)
{
    ++timeouts;
    wdmod_in_handler = WDMOD;
    VICIntEnClr = 1u << CH_WDT; /* WDINT stays set until a reset */
    VICVectAddr = 0;
}

int main(void)
{
    wdmod_at_start = WDMOD;
    uart0_open(0x07);
    put("hello\n");
    WDTC = FOSC / 4 / 100;
#if defined(RESET)
    if (wdmod_at_start & WDTOF) {
        ++boots;
        WDMOD = 0; /* clears WDTOF */
        put(marker == MARKER ? "RAM kept\n" : "RAM lost\n");
        return 0;
    }
    marker = MARKER;
    boots = 1;
    WDMOD = WDEN | WDRESET;
    feed();
    for (;;) {
        last_count = WDTV;
    }
#elif defined(FEED)
    WDMOD = WDEN | WDRESET;
    feed();
    while (feeds < 20) {
        if (WDTV < FOSC / 4 / 100 / 2) {
            feed();
            ++feeds;
        }
    }
    return 0;
#else
    VICVectAddrN(0) = (unsigned)watchdog_isr;
    VICVectCntlN(0) = 0x20 | CH_WDT;
    VICIntEnable = 1u << CH_WDT;
    WDMOD = WDEN;
    feed();
    while (timeouts == 0) {
        last_count = WDTV;
    }
    return 0;
#endif
}
