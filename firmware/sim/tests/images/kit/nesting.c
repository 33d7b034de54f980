/* FIQ from Timer1 (IntSelect) preempts the IRQ handler of Timer0; two
   software requests raised at once are taken in slot order; a request in
   no slot goes through DefVectAddr. Each handler notes its name's letter
   in `order`. */
#include "lpc.h"

volatile char order[16];
volatile unsigned noted;
volatile unsigned fiq_seen_in_irq;

static void note(char c)
{
    order[noted++] = c;
}

IRQ_HANDLER void timer0_isr(void)
{
    note('T');
    T1TCR = 1;            /* start Timer1: its FIQ comes while we wait here */
    while (noted < 2) {
    }
    fiq_seen_in_irq = 1;
    T0IR = 1;
    VICVectAddr = 0;
}

FIQ_HANDLER void fiq_entry(void)
{
    note('F');
    T1IR = 1;
    T1TCR = 0;
}

IRQ_HANDLER void eint1_isr(void)
{
    note('1');
    VICSoftIntClear = 1u << CH_EINT1;
    VICVectAddr = 0;
}

IRQ_HANDLER void eint2_isr(void)
{
    note('2');
    VICSoftIntClear = 1u << CH_EINT2;
    VICVectAddr = 0;
}

IRQ_HANDLER void default_isr(void)
{
    note('D');
    VICSoftIntClear = 1u << CH_EINT0;
    VICVectAddr = 0;
}

int main(void)
{
    VPBDIV = 1;
    /* Timer0 IRQ in slot 3, Timer1 as FIQ. */
    T0MR0 = 1000;
    T0MCR = 5;  /* interrupt, stop */
    T1MR0 = 200;
    T1MCR = 5;
    VICIntSelect = 1u << CH_TIMER1;
    VICVectAddrN(3) = (unsigned)timer0_isr;
    VICVectCntlN(3) = 0x20 | CH_TIMER0;
    VICIntEnable = (1u << CH_TIMER0) | (1u << CH_TIMER1);
    T0TCR = 1;
    while (!fiq_seen_in_irq) {
    }

    /* Two software requests at once: EINT2 in slot 1 before EINT1 in slot
       2; then EINT0, in no slot. */
    VICVectAddrN(1) = (unsigned)eint2_isr;
    VICVectCntlN(1) = 0x20 | CH_EINT2;
    VICVectAddrN(2) = (unsigned)eint1_isr;
    VICVectCntlN(2) = 0x20 | CH_EINT1;
    VICDefVectAddr = (unsigned)default_isr;
    VICIntEnable = (1u << CH_EINT0) | (1u << CH_EINT1) | (1u << CH_EINT2);
    VICSoftInt = (1u << CH_EINT1) | (1u << CH_EINT2);
    while (noted < 4) {
    }
    VICSoftInt = 1u << CH_EINT0;
    while (noted < 5) {
    }
    return 0;
}
