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
    VPBDIV = 1;
    PINSEL0 = 0x5;   /* TxD0, RxD0 */
    U0LCR = 0x83;    /* 8N1, divisor latch */
    U0DLL = 6;       /* 11.0592 MHz / (16 x 6) = 115200 baud */
    U0DLM = 0;
    U0LCR = 0x03;
    U0FCR = 0x07;    /* FIFOs on and cleared */
    for (const char* s = "echo ready\n"; *s != 0; ++s) {
        put((unsigned char)*s);
    }
    for (;;) {
        if (U0LSR & 1) {
            put((unsigned char)U0RBR);
        }
    }
}
