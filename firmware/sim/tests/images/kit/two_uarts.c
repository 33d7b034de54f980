/* Both UARTs at 115200 baud 8N1: "ZERO\n" on UART0 and "ONE\n" on UART1,
   their bytes interleaved, then UART0 echoes what it receives. What one
   serial line carries must be its own UART's bytes only. */
#include "lpc.h"

#define U1THR REG(0xE0010000)
#define U1DLL REG(0xE0010000)
#define U1DLM REG(0xE0010004)
#define U1LCR REG(0xE001000C)
#define U1LSR REG(0xE0010014)

static void put0(unsigned char c)
{
    while ((U0LSR & 0x20) == 0) {
    }
    U0THR = c;
}

static void put1(unsigned char c)
{
    while ((U1LSR & 0x20) == 0) {
    }
    U1THR = c;
}

int main(void)
{
    uart0_open(0x07);
    PINSEL0 |= 0x50000;       /* TxD1, RxD1 on P0.8, P0.9 */
    U1LCR = 0x83;
    U1DLL = 6;
    U1DLM = 0;
    U1LCR = 0x03;
    const char* zero = "ZERO\n";
    const char* one = "ONE\n";
    while (*zero != 0 || *one != 0) {
        if (*zero != 0) {
            put0((unsigned char)*zero++);
        }
        if (*one != 0) {
            put1((unsigned char)*one++);
        }
    }
    for (;;) {
        if (U0LSR & 1) {
            put0((unsigned char)U0RBR);
        }
    }
}
