/* Copies 4 KiB back and forth in RAM, word by word. */
#include "lpc.h"

static unsigned a[1024];
static unsigned b[1024];
volatile unsigned rounds;

static void copy(unsigned *to, const unsigned *from, unsigned words)
{
    while (words--) {
        *to++ = *from++;
    }
}

int main(void)
{
    REG(0xE01FC084) = 0x23;
    REG(0xE01FC080) = 1;
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
    while ((REG(0xE01FC088) & (1u << 10)) == 0) {
    }
    REG(0xE01FC080) = 3;
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
    REG(0xE01FC004) = 3;
    REG(0xE01FC000) = 2;
    for (unsigned n = 0; n < 1024; ++n) {
        a[n] = n * 2654435761u;
    }
    for (;;) {
        copy(b, a, 1024);
        copy(a, b, 1024);
        ++rounds;
    }
}
