/* A table played through the board's TLV5618 DAC: Timer1's match interrupt
   (vectored slot 0) sends one word per period, as two bytes through SPI0 in
   CPOL 0 / CPHA 1 (MOSI changes on the rising edge, the converter takes it
   on the falling one), /CS on P0.23 low across both. The table is dactables'
   option 7 with STEP 64: one period of the 0 ... 1 V sine in 64 words of
   fast mode, channel B (0x4000 | code). At 28.8 kHz (pclk / 384) the output
   is a 450 Hz sine. Between interrupts the core sleeps. A line on UART0
   first says it started. Built with LCD_MODE, it sends in the LCD's SPI
   mode 0 instead (CPHA 0: MOSI changes on the falling edge), which the
   converter must refuse. */
#include "lpc.h"

#define DAC_CS (1u << 23)

const unsigned short dac_table[64] = {
    0x42B0, 0x42F3, 0x4336, 0x4377, 0x43B7, 0x43F4, 0x442D, 0x4464,
    0x4495, 0x44C3, 0x44EB, 0x450D, 0x452A, 0x4541, 0x4551, 0x455B,
    0x455E, 0x455B, 0x4551, 0x4540, 0x4529, 0x450C, 0x44EA, 0x44C1,
    0x4494, 0x4462, 0x442C, 0x43F2, 0x43B5, 0x4375, 0x4334, 0x42F1,
    0x42AE, 0x426A, 0x4228, 0x41E6, 0x41A7, 0x416A, 0x4130, 0x40FA,
    0x40C8, 0x409B, 0x4073, 0x4050, 0x4033, 0x401D, 0x400D, 0x4003,
    0x4000, 0x4003, 0x400D, 0x401D, 0x4034, 0x4051, 0x4074, 0x409C,
    0x40CA, 0x40FC, 0x4132, 0x416C, 0x41A9, 0x41E8, 0x422A, 0x426C,
};

volatile unsigned played;

static void spi_byte(unsigned byte)
{
    S0SPDR = byte;
    while ((S0SPSR & 0x80) == 0) { /* SPIF */
    }
}

IRQ_HANDLER void update_isr(void)
{
    const unsigned word = dac_table[played % 64];
    T1IR = 1;
    IO0CLR = DAC_CS;
    spi_byte(word >> 8);
    spi_byte(word & 0xFF);
    IO0SET = DAC_CS;
    ++played;
    VICVectAddr = 0;
}

static void say(const char *text)
{
    for (; *text != 0; ++text) {
        while ((U0LSR & 0x20) == 0) { /* THRE */
        }
        U0THR = (unsigned char)*text;
    }
}

int main(void)
{
    full_speed();                 /* pclk = 44.2368 MHz / 4 = 11.0592 MHz */
    PINSEL0 = 0x5101;             /* TxD0; SCK0, MOSI0, SSEL0 */
    U0LCR = 0x83;                 /* 8N1, divisor latch */
    U0DLL = 6;                    /* 115200 baud */
    U0DLM = 0;
    U0LCR = 0x03;
    say("dac\n");
    IO0SET = DAC_CS;
    IO0DIR = DAC_CS;
    S0SPCCR = 8;                  /* SCK = pclk / 8 */
#ifdef LCD_MODE
    S0SPCR = 0x20;                /* master, CPOL 0, CPHA 0 */
#else
    S0SPCR = 0x28;                /* master, CPOL 0, CPHA 1, MSB first */
#endif
    T1MR0 = 384 - 1;              /* a period is MR0 + 1 counts: 28.8 kHz */
    T1MCR = 3;                    /* MR0: interrupt, reset */
    VICVectAddrN(0) = (unsigned)update_isr;
    VICVectCntlN(0) = 0x20 | CH_TIMER1;
    VICIntEnable = 1u << CH_TIMER1;
    T1TCR = 1;
    for (;;) {
        PCON = 1;                 /* idle until the next update */
    }
}
