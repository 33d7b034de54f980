/* UART0 driven by its interrupts: a long text sent from the THRE interrupt,
   16 bytes at a time into the FIFO, and whatever comes back (through a
   loopback plug) taken in by the receive and time-out interrupts. */
#include "lpc.h"

static const char text[] =
    "The quick brown fox jumps over the lazy dog, 0123456789 times, "
    "and the UART keeps up from its interrupt alone.\n";

volatile unsigned sent;
volatile unsigned received;
volatile unsigned thre_interrupts;
char echo[sizeof text];

IRQ_HANDLER void uart0_isr(void)
{
    unsigned iir;
    while (((iir = U0IIR) & 1) == 0) {
        switch ((iir >> 1) & 7) {
        case 1: /* THRE: refill the FIFO */
            ++thre_interrupts;
            for (int n = 0; n < 16 && sent < sizeof text - 1; ++n) {
                U0THR = (unsigned char)text[sent++];
            }
            if (sent == sizeof text - 1) {
                U0IER &= ~2u;
            }
            break;
        case 2: /* receive data */
        case 6: /* character time-out */
            while (U0LSR & 1) {
                unsigned char c = (unsigned char)U0RBR;
                if (received < sizeof echo) {
                    echo[received++] = (char)c;
                }
            }
            break;
        default:
            (void)U0LSR;
            break;
        }
    }
    VICVectAddr = 0;
}

int main(void)
{
    uart0_open(0x87);         /* FIFOs on, receive trigger at 8 */
    VICVectAddrN(0) = (unsigned)uart0_isr;
    VICVectCntlN(0) = 0x20 | CH_UART0;
    VICIntEnable = 1u << CH_UART0;
    U0IER = 0x3;              /* receive data, THRE: the first fires at once */
    while (received < sizeof text - 1) {
    }
    return 0;
}
