/* The A/D converter on AIN0..AIN3 (P0.27..P0.30, analogue inputs from
   reset), its clock pclk / 3 = 3.6864 MHz. By default: one input after
   another, started by software and polled, the results sent on UART0 as
   "AIN0=c AIN1=c AIN2=c AIN3=c" lines, for ever. BURST: the four in a
   burst at pclk / 11 (1.0053 MHz), each result taken by the interrupt
   handler, until 400 have come. */
#include "lpc.h"

#define PDN (1u << 21)
#define BURST (1u << 16)
#define START_NOW (1u << 24)
#define DONE (1u << 31)
#define OVERRUN (1u << 30)

volatile unsigned results[4];
volatile unsigned conversions;
volatile unsigned overruns;
volatile unsigned rounds;

#if !defined(BURST_IRQ)
static void put(const char* s)
{
    for (; *s != 0; ++s) {
        while ((U0LSR & 0x20) == 0) {
        }
        U0THR = (unsigned char)*s;
    }
}

static void put_number(unsigned n)
{
    char digits[12];
    int i = 0;
    do {
        digits[i++] = (char)('0' + n % 10);
        n /= 10;
    } while (n != 0);
    char text[12];
    int j = 0;
    while (i > 0) {
        text[j++] = digits[--i];
    }
    text[j] = 0;
    put(text);
}
#endif

IRQ_HANDLER void adc_isr(void)
{
    const unsigned addr = ADDR;
    if (addr & OVERRUN) {
        ++overruns;
    }
    results[(addr >> 24) & 3] = (addr >> 6) & 0x3FF;
    ++conversions;
    VICVectAddr = 0;
}

int main(void)
{
#if defined(BURST_IRQ)
    full_speed(); /* cclk 44.2368 MHz, pclk a quarter of it */
    VICVectAddrN(0) = (unsigned)adc_isr;
    VICVectCntlN(0) = 0x20 | CH_AD;
    VICIntEnable = 1u << CH_AD;
    ADCR = 0x0F | (10u << 8) | BURST | PDN;
    while (conversions < 400) {
    }
    ADCR = PDN;
    return 0;
#else
    uart0_open(0x07);
    for (;;) {
        for (unsigned ch = 0; ch < 4; ++ch) {
            unsigned addr;
            ADCR = (1u << ch) | (2u << 8) | PDN | START_NOW;
            while (((addr = ADDR) & DONE) == 0) {
            }
            results[ch] = (addr >> 6) & 0x3FF;
        }
        ++rounds;
        for (unsigned ch = 0; ch < 4; ++ch) {
            put(ch == 0 ? "AIN0=" : ch == 1 ? " AIN1=" : ch == 2 ? " AIN2=" : " AIN3=");
            put_number(results[ch]);
        }
        put("\n");
    }
#endif
}
