/* Code that waits on the peripherals by polling them: a line of text sent
   through UART0 byte by byte, each byte once LSR says the transmit holding
   register is empty; a millisecond waited by reading Timer0's counter;
   the LED toggled; then a wait while KEY_1 is held. */
#include "lpc.h"

#define PCLK 44236800u
#define LED (1u << 31)
#define KEY_1 (1u << 16)
#define LSR_THRE 0x20

volatile unsigned rounds;

static void send(const char *text)
{
    while (*text) {
        while ((U0LSR & LSR_THRE) == 0) {
        }
        U0THR = (unsigned char)*text++;
    }
}

static void wait_ms(void)
{
    const unsigned start = T0TC;
    while (T0TC - start < PCLK / 1000) {
    }
}

int main(void)
{
    full_speed();
    VPBDIV = 1; /* pclk = cclk */
    PINSEL0 = 0x5; /* TxD0, RxD0 */
    U0LCR = 0x83;  /* 8N1, divisor latch open */
    U0DLL = PCLK / (16 * 115200);
    U0DLM = 0;
    U0LCR = 0x03;
    T0TCR = 1;
    IO0DIR = LED;
    for (;;) {
        send("polling\n");
        wait_ms();
        if (rounds & 1) {
            IO0SET = LED;
        } else {
            IO0CLR = LED;
        }
        while ((IO0PIN & KEY_1) == 0) {
        }
        ++rounds;
    }
}
