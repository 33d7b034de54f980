/* What a probe does wrong, chosen by FAILURE:
   1  writes the watchdog, which the simulator does not model;
   2  reads an address where the chip has nothing: the data abort's handler
      is the start-up's "b .";
   3  powers down with no way to wake up;
   4  masks interrupts and waits for ever;
   5  stores a byte into T0TC, a 32-bit register the chip writes whole;
   6  runs the PLL's oscillator below the data sheet's range (Fcco 88.5 MHz),
      which real chips do all the same;
   7  reads where the chip has nothing, and the data abort's handler loops
      on a NOP, as gcc -O0 makes "while (1) {}";
   8  runs an undefined instruction, whose handler polls a flag in RAM
      that nothing can set with interrupts masked;
   9  reads where the chip has nothing, and the data abort's handler waits
      for KEY_1 by polling its pin, then notes it and goes on: a key can
      end that wait, so it is no hang;
  10  masks interrupts and loops on a NOP in Thumb state. */
#include "lpc.h"

volatile unsigned flag;
volatile unsigned key_seen;

#if FAILURE == 7
__attribute__((naked, target("arm"))) void data_abort_entry(void)
{
    __asm__ volatile("1: nop\n\t"
                     "b 1b\n\t");
}
#elif FAILURE == 8
__attribute__((naked, target("arm"))) void undefined_entry(void)
{
    __asm__ volatile("ldr r0, =flag\n\t"
                     "1: ldr r1, [r0]\n\t"
                     "cmp r1, #0\n\t"
                     "beq 1b\n\t"
                     "movs pc, lr\n\t"
                     ".ltorg\n\t");
}
#elif FAILURE == 9
__attribute__((naked, target("arm"))) void data_abort_entry(void)
{
    __asm__ volatile("ldr r0, =0xE0028000\n\t" /* IO0PIN */
                     "1: ldr r1, [r0]\n\t"
                     "tst r1, #0x10000\n\t"      /* KEY_1 on P0.16, low when pressed */
                     "bne 1b\n\t"
                     "ldr r0, =key_seen\n\t"
                     "mov r1, #1\n\t"
                     "str r1, [r0]\n\t"
                     "subs pc, lr, #4\n\t"       /* on after the load */
                     ".ltorg\n\t");
}
#elif FAILURE == 10
__attribute__((target("arm"), noinline)) static void mask_interrupts(void)
{
    __asm__ volatile("msr cpsr_c, #0xDF");
}

__attribute__((target("thumb"), noinline)) static void wait_masked(void)
{
    mask_interrupts();
    __asm__ volatile("1: nop\n\t"
                     "b 1b\n\t");
}
#endif

#if FAILURE == 4
__attribute__((target("arm"), noinline)) static void wait_masked(void)
{
    __asm__ volatile("msr cpsr_c, #0xDF");
    for (;;) {
    }
}
#endif

int main(void)
{
    VPBDIV = 1;
#if FAILURE == 1
    REG(0xE0024008) = 1;  /* CCR: the real-time clock, not modelled */
#elif FAILURE == 2
    (void)REG(0x80000000);
#elif FAILURE == 3
    PCON = 2;
#elif FAILURE == 4 || FAILURE == 10
    wait_masked();
#elif FAILURE == 5
    *(volatile unsigned char *)0xE0004008 = 5; /* T0TC */
#elif FAILURE == 6
    REG(0xE01FC084) = 0x03; /* PLLCFG: M = 4, P = 1 */
    REG(0xE01FC080) = 1;
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
    while ((REG(0xE01FC088) & (1u << 10)) == 0) {
    }
    REG(0xE01FC080) = 3;
    REG(0xE01FC08C) = 0xAA;
    REG(0xE01FC08C) = 0x55;
#elif FAILURE == 7 || FAILURE == 9
    (void)REG(0x80000000);
#elif FAILURE == 8
    __asm__ volatile(".word 0xE7F000F0"); /* permanently undefined */
#endif
    return 0;
}
