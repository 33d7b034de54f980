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
    full_speed();
    for (unsigned n = 0; n < 1024; ++n) {
        a[n] = n * 2654435761u;
    }
    for (;;) {
        copy(b, a, 1024);
        copy(a, b, 1024);
        ++rounds;
    }
}
