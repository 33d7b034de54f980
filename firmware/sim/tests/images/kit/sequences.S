/* Short ARM sequences whose cycles are counted by hand from the ARM7TDMI
   Technical Reference Manual's instruction cycle table, each between a
   NAME_start and a NAME_end label: PSR transfers and mode changes, block
   transfers with their base in the list, a swap, multiplies whose operand
   ends the multiplier early (or not), instructions whose condition fails,
   and a software interrupt's entry and return. The MAM is off after reset:
   every fetch from flash waits 6 cycles more (MAMTIM 7). */
        .syntax unified
        .arm
        .text
        .global main
main:
        push    {r4-r7, lr}
        ldr     r2, =scratch
        mov     r4, #5
        mvn     r5, #0                  /* 0xFFFFFFFF */

        .global psr_start
psr_start:
        mrs     r0, cpsr                /* 1S */
        bic     r1, r0, #0x1F           /* 1S */
        orr     r1, r1, #0x13           /* 1S */
        msr     cpsr_c, r1              /* 1S: to Supervisor mode */
        msr     cpsr_c, r0              /* 1S: back to System mode */
        .global psr_end
psr_end:
        mov     r6, r2
        .global block_start
block_start:
        stmia   r2, {r0-r3}             /* (n-1)S + 2N, n = 4: 5 */
        ldmia   r2, {r0-r3}             /* nS + 1N + 1I, n = 4: 6 (r2 loaded again) */
        ldmia   r6, {r0, r6}            /* 2S + 1N + 1I: 4, the base loaded */
        swp     r0, r1, [r2]            /* 1S + 2N + 1I: 4 */
        .global block_end
block_end:
        .global multiply_start
multiply_start:
        mul     r0, r4, r5              /* 1S + mI, m = 1: bits 31:8 of r5 all ones */
        smull   r0, r1, r4, r5          /* 1S + (m+1)I, m = 1: 3 */
        umull   r0, r1, r4, r5          /* 1S + (m+1)I, m = 4: unsigned, only zeros end it early */
        umlal   r0, r1, r4, r4          /* 1S + (m+2)I, m = 1: 4 */
        .global multiply_end
multiply_end:
        cmp     r0, r0                  /* Z set: every "ne" below fails */
        .global failed_start
failed_start:
        addne   r0, r1, r2, lsl r3      /* 1S (1S + 1I when it passes) */
        ldrne   r0, [r2]                /* 1S */
        mulne   r0, r4, r5              /* 1S */
        movne   pc, lr                  /* 1S */
        .global failed_end
failed_end:
        .global swi_start
swi_start:
        swi     0                       /* 2S + 1N, the entry */
        .global swi_end                 /* the vector's ldr pc (2S + 2N + 1I), */
swi_end:                                /* then swi_entry's movs pc, lr (2S + 1N) */
        pop     {r4-r7, lr}
        bx      lr
        .ltorg

        .global swi_entry
swi_entry:
        movs    pc, lr

        .bss
        .align  2
scratch:
        .space  16
