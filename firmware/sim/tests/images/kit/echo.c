/* A serial echo: UART0 at 115200 baud 8N1 says "echo ready" and sends back
   every byte it receives, by polling its line status. */
#include "lpc.h"

static void put(unsigned char c)
{
    while ((U0LSR & 0x20) == 0) {
    }
    U0THR = c;
}

int main(void)
{
    uart0_open(0x07);  /* FIFOs on and cleared */
    for (const char* s = "echo ready\n"; *s != 0; ++s) {
        put((unsigned char)*s);
    }
    for (;;) {
        if (U0LSR & 1) {
            put((unsigned char)U0RBR);
        }
    }
}
