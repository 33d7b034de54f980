/* A small image that exercises each part of the board model once, with
   numbers simple enough to count by hand. Built once as a healthy image and
   once per fault it can inject at `fault_point` (FAULT_KIND, see below). */

        .syntax unified
        .arm

        .equ    PINSEL0, 0xE002C000
        .equ    UART0,   0xE000C000
        .equ    GPIO0,   0xE0028000
        .equ    SCRATCH, 0x40000000
        .equ    LED,     0x80000000
        .equ    LDR_PC_TABLE, 0xE59FF018

#ifndef FAULT_KIND
#define FAULT_KIND 0
#endif

        .section .vectors, "ax"
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
#if FAULT_KIND == 6
        .word   0                       /* boot checksum left out */
#else
        .word   (0 - 7 * LDR_PC_TABLE) & 0xFFFFFFFF
#endif
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        .word   reset, Undef_Hang, swi_handler, Undef_Hang
        .word   Undef_Hang, 0, Undef_Hang, Undef_Hang

        .text
reset:
        ldr     r1, =0xE01FC100         /* VPBDIV: pclk = cclk = the crystal, */
        mov     r2, #1                  /* so the UART's divisor 6 gives 115200 baud */
        str     r2, [r1]
        ldr     sp, =0x40004000         /* Supervisor stack */
        msr     cpsr_c, #0xDF           /* System mode, IRQ and FIQ masked */
        ldr     sp, =0x40003F00

        /* Each request, then the CPSR it left behind. */
        mov     r0, #1                  /* IRQ on */
        swi     0
        mrs     r8, cpsr
        mov     r0, #3                  /* FIQ on */
        swi     0
        mrs     r9, cpsr
        mov     r0, #0                  /* IRQ off */
        swi     0
        mrs     r10, cpsr
        mov     r0, #2                  /* FIQ off */
        swi     0
        mrs     r11, cpsr
        mov     r0, #7                  /* unknown: nothing changes */
        swi     0
        mrs     r12, cpsr
        .global after_swi
after_swi:
        /* UART0: TxD0 on P0.0, 115200 8N1 at 11.0592 MHz, then "OK\n".
           The 6 goes to the divisor latch, not to the line. */
#if FAULT_KIND != 7
        ldr     r1, =PINSEL0
        mov     r2, #5
        str     r2, [r1]
#endif
        ldr     r1, =UART0
        mov     r2, #0x83
        str     r2, [r1, #0x0C]
        mov     r2, #6
        str     r2, [r1]
        mov     r2, #0
        str     r2, [r1, #0x04]
        mov     r2, #3
        str     r2, [r1, #0x0C]
        adr     r3, text
1:      ldrb    r2, [r3], #1
        cmp     r2, #0
        beq     3f
2:      ldr     r4, [r1, #0x14]
        tst     r4, #0x20
        beq     2b
        strb    r2, [r1]
        b       1b
3:
        /* LED: output (still low), high, then three pulses: each low
           phase is 22 instructions (mov, 10 x subs/bne, str), each high
           phase between them 3 (subs, bne, str). */
        ldr     r1, =GPIO0
        mov     r2, #LED
        str     r2, [r1, #0x08]
        str     r2, [r1, #0x04]
        mov     r5, #3
blink:
        str     r2, [r1, #0x0C]
        mov     r6, #10
4:      subs    r6, r6, #1
        bne     4b
        str     r2, [r1, #0x04]
        subs    r5, r5, #1
        bne     blink

        .global fault_point
fault_point:
#if FAULT_KIND == 1
        mov     r0, #0x80000000         /* external memory bank: not fitted */
        str     r0, [r0]
#elif FAULT_KIND == 2
        .word   0xE7F000F0              /* permanently undefined */
#elif FAULT_KIND == 3
        ldr     r0, =0xE000C010         /* UART0 has no modem control register */
        ldr     r0, [r0]
#elif FAULT_KIND == 4
        mov     r0, #0x100              /* flash is not writable */
        str     r0, [r0]
#elif FAULT_KIND == 5
        b       Undef_Hang
        /* Instructions of later architectures, which an ARM7TDMI (ARMv4T)
           takes as undefined; encoded by hand, as the assembler refuses
           them for this core. */
#elif FAULT_KIND == 8
        .word   0xE16F0F11              /* clz r0, r1 (ARMv5) */
#elif FAULT_KIND == 9
        .word   0xE12FFF31              /* blx r1 (ARMv5) */
#elif FAULT_KIND == 10
        .word   0xE1C120D0              /* ldrd r2, r3, [r1] (ARMv5TE) */
#elif FAULT_KIND == 11
        .word   0xE1020051              /* qadd r0, r1, r2 (ARMv5TE) */
#elif FAULT_KIND == 12
        .word   0xE1600281              /* smulbb r0, r1, r2 (ARMv5TE) */
#elif FAULT_KIND == 13
        .word   0xEE100F10              /* mrc p15, 0, r0, c0, c0, 0: no coprocessor */
#elif FAULT_KIND == 14
        /* The NV condition: never executed on the ARM7TDMI, whatever the
           rest of the word says. No fault: the run goes on past them. */
        .word   0xFFFFFFFF              /* erased flash */
        .word   0xF5D1F000              /* pld [r1] (ARMv5TE) */
        .word   0xFA000000              /* blx to 8 bytes on (ARMv5) */
#elif FAULT_KIND == 15
        ldr     pc, =0x0003F000         /* into erased flash, 4 KiB below its end */
#endif

        /* Keys: copy IO0PIN to the scratch word, for ever. */
        ldr     r7, =SCRATCH
        .global key_loop
key_loop:
        ldr     r3, [r1]
        str     r3, [r7]
        b       key_loop

/* Doubles r0: a function for the simulator to call. */
        .global twice
twice:
        add     r0, r0, r0
        bx      lr

swi_handler:
        cmp     r0, #3
        movshi  pc, lr
        mrs     r12, spsr
        cmp     r0, #1
        orrlo   r12, r12, #0x80
        biceq   r12, r12, #0x80
        cmp     r0, #2
        orreq   r12, r12, #0x40
        bichi   r12, r12, #0x40
        msr     spsr_c, r12
        movs    pc, lr

        .global Undef_Hang
Undef_Hang:
        b       Undef_Hang

text:   .asciz  "OK\n"
        .align  2
        .ltorg
