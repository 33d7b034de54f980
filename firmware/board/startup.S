/* Exception vectors, reset handler, software-interrupt handler and the
   hang loops of the unused exceptions, for the LPC2294 running from flash.
   IRQs go through the VIC: the IRQ vector jumps to the address VICVectAddr
   gives for the interrupt being served. */

        .syntax unified
        .arm

        .equ    MODE_FIQ, 0x11
        .equ    MODE_IRQ, 0x12
        .equ    MODE_SVC, 0x13
        .equ    MODE_ABT, 0x17
        .equ    MODE_UND, 0x1B
        .equ    MODE_SYS, 0x1F
        .equ    I_BIT,    0x80
        .equ    F_BIT,    0x40

        /* Stack sizes per mode; System mode, where main runs, gets the rest. */
        .equ    UND_STACK_SIZE, 0x40
        .equ    ABT_STACK_SIZE, 0x40
        .equ    FIQ_STACK_SIZE, 0x80
        .equ    IRQ_STACK_SIZE, 0x80
        .equ    SVC_STACK_SIZE, 0x80

        /* Every vector but IRQ is "ldr pc, [pc, #24]": it jumps through the
           literal table 0x20 bytes further on. IRQ's is "ldr pc, [pc, #-0xFF0]":
           0x18 + 8 - 0xFF0 wraps to 0xFFFFF030, VICVectAddr, which holds the
           handler of the highest-priority vectored slot asking (or
           VICDefVectAddr). The boot loader runs user code only if the eight
           vector words sum to zero, so the reserved word at 0x14 balances
           the other seven. */
        .equ    LDR_PC_TABLE, 0xE59FF018
        .equ    LDR_PC_VIC, 0xE51FFFF0
        .equ    VECTOR_CHECKSUM, (0 - 6 * LDR_PC_TABLE - LDR_PC_VIC) & 0xFFFFFFFF

        .section .vectors, "ax"
        .global Vectors
Vectors:
        ldr     pc, [pc, #24]           /* 0x00 reset */
        ldr     pc, [pc, #24]           /* 0x04 undefined instruction */
        ldr     pc, [pc, #24]           /* 0x08 software interrupt */
        ldr     pc, [pc, #24]           /* 0x0C prefetch abort */
        ldr     pc, [pc, #24]           /* 0x10 data abort */
        .word   VECTOR_CHECKSUM         /* 0x14 reserved: boot loader checksum */
        ldr     pc, [pc, #-0xFF0]       /* 0x18 IRQ: VICVectAddr */
        ldr     pc, [pc, #24]           /* 0x1C FIQ */

        .word   Reset_Handler           /* 0x20 */
        .word   Undef_Hang              /* 0x24 */
        .word   SWI_Handler             /* 0x28 */
        .word   PAbt_Hang               /* 0x2C */
        .word   DAbt_Hang               /* 0x30 */
        .word   0                       /* 0x34 */
        .word   Irq_Hang                /* 0x38 (unused: IRQ goes through the VIC) */
        .word   Fiq_Hang                /* 0x3C */

        .text

/* Gives each mode its stack below the top of RAM, copies .data from flash,
   zeroes .bss and hands over to the C start-up in System mode with IRQ and
   FIQ still masked. */
        .global Reset_Handler
        .type   Reset_Handler, %function
Reset_Handler:
        ldr     r0, =__stack_top
        msr     cpsr_c, #(MODE_UND | I_BIT | F_BIT)
        mov     sp, r0
        sub     r0, r0, #UND_STACK_SIZE
        msr     cpsr_c, #(MODE_ABT | I_BIT | F_BIT)
        mov     sp, r0
        sub     r0, r0, #ABT_STACK_SIZE
        msr     cpsr_c, #(MODE_FIQ | I_BIT | F_BIT)
        mov     sp, r0
        sub     r0, r0, #FIQ_STACK_SIZE
        msr     cpsr_c, #(MODE_IRQ | I_BIT | F_BIT)
        mov     sp, r0
        sub     r0, r0, #IRQ_STACK_SIZE
        msr     cpsr_c, #(MODE_SVC | I_BIT | F_BIT)
        mov     sp, r0
        sub     r0, r0, #SVC_STACK_SIZE
        msr     cpsr_c, #(MODE_SYS | I_BIT | F_BIT)
        mov     sp, r0

        ldr     r0, =__data_load
        ldr     r1, =__data_start
        ldr     r2, =__data_end
1:      cmp     r1, r2
        ldrlo   r3, [r0], #4
        strlo   r3, [r1], #4
        blo     1b

        ldr     r1, =__bss_start
        ldr     r2, =__bss_end
        mov     r3, #0
2:      cmp     r1, r2
        strlo   r3, [r1], #4
        blo     2b

        bl      BoardStart
3:      b       3b                      /* BoardStart does not return */
        .size   Reset_Handler, . - Reset_Handler

/* swi 0 with the operation code in r0: 0 IRQ off, 1 IRQ on, 2 FIQ off,
   3 FIQ on. The caller's CPSR is in SPSR_svc, so changing the I or F bit
   there takes effect on the return. Clobbers only r12, which callers of a
   function may not rely on anyway. */
        .global SWI_Handler
        .type   SWI_Handler, %function
SWI_Handler:
        cmp     r0, #3
        movshi  pc, lr                  /* unknown code: change nothing */
        mrs     r12, spsr
        cmp     r0, #1
        orrlo   r12, r12, #I_BIT        /* 0 */
        biceq   r12, r12, #I_BIT        /* 1 */
        cmp     r0, #2
        orreq   r12, r12, #F_BIT        /* 2 */
        bichi   r12, r12, #F_BIT        /* 3 */
        msr     spsr_c, r12
        movs    pc, lr
        .size   SWI_Handler, . - SWI_Handler

/* C entry to the handler above. LR is saved first so that a caller in SVC
   mode, whose LR the swi overwrites, is served too. */
        .global SwiHandle1
        .type   SwiHandle1, %function
SwiHandle1:
        stmfd   sp!, {lr}
        swi     0
        ldmfd   sp!, {lr}
        bx      lr
        .size   SwiHandle1, . - SwiHandle1

/* No fault is expected, and no interrupt but those the VIC vectors: each
   of these stops on a symbol of its own, so a debugger or simulator can
   name it. Irq_Hang is the VIC's default vector, for an IRQ no slot serves. */
        .global Undef_Hang
        .type   Undef_Hang, %function
Undef_Hang:
        b       Undef_Hang
        .size   Undef_Hang, . - Undef_Hang

        .global PAbt_Hang
        .type   PAbt_Hang, %function
PAbt_Hang:
        b       PAbt_Hang
        .size   PAbt_Hang, . - PAbt_Hang

        .global DAbt_Hang
        .type   DAbt_Hang, %function
DAbt_Hang:
        b       DAbt_Hang
        .size   DAbt_Hang, . - DAbt_Hang

        .global Irq_Hang
        .type   Irq_Hang, %function
Irq_Hang:
        b       Irq_Hang
        .size   Irq_Hang, . - Irq_Hang

        .global Fiq_Hang
        .type   Fiq_Hang, %function
Fiq_Hang:
        b       Fiq_Hang
        .size   Fiq_Hang, . - Fiq_Hang

        .ltorg
