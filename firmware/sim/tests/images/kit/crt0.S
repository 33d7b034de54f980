/* Start-up of the probe programs: the vectors (IRQ through the VIC's
   VectAddr, as LPC2000 firmware does), a stack per mode, .data and .bss,
   then main in ARM or Thumb state. The handlers a probe leaves out branch
   to themselves, as much public firmware does: the simulator must tell
   such a hang by itself. */
        .syntax unified
        .arm
        .equ    LDR_PC_TABLE, 0xE59FF018
        .equ    LDR_PC_VECTADDR, 0xE51FFFF0

        .section .vectors, "ax"
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        ldr     pc, [pc, #24]
        .word   (0 - 6 * LDR_PC_TABLE - LDR_PC_VECTADDR) & 0xFFFFFFFF
        ldr     pc, [pc, #-0xFF0]
        ldr     pc, [pc, #24]
        .word   reset, undefined_entry, swi_entry, prefetch_entry
        .word   data_abort_entry, 0, 0, fiq_entry

        .text
        .global reset
reset:
        ldr     r0, =__stack_top
        msr     cpsr_c, #0xD2           /* IRQ mode, IRQ and FIQ masked */
        mov     sp, r0
        sub     r0, r0, #512
        msr     cpsr_c, #0xD1           /* FIQ */
        mov     sp, r0
        sub     r0, r0, #256
        msr     cpsr_c, #0xD7           /* Abort */
        mov     sp, r0
        sub     r0, r0, #128
        msr     cpsr_c, #0xDB           /* Undefined */
        mov     sp, r0
        sub     r0, r0, #128
        msr     cpsr_c, #0xD3           /* Supervisor */
        mov     sp, r0
        sub     r0, r0, #256
        msr     cpsr_c, #0xDF           /* System */
        mov     sp, r0

        ldr     r1, =__data_load
        ldr     r2, =__data_start
        ldr     r3, =__data_end
1:      cmp     r2, r3
        ldrlo   r0, [r1], #4
        strlo   r0, [r2], #4
        blo     1b
        ldr     r1, =__bss_start
        ldr     r2, =__bss_end
        mov     r0, #0
2:      cmp     r1, r2
        strlo   r0, [r1], #4
        blo     2b

        msr     cpsr_c, #0x1F           /* System mode, interrupts open */
        ldr     r0, =main
        mov     lr, pc
        bx      r0
        .global probe_done
probe_done:
        b       probe_done              /* with interrupts open: waits, never a fault */

        .weak   fiq_entry, undefined_entry, swi_entry, prefetch_entry, data_abort_entry
fiq_entry:
undefined_entry:
swi_entry:
prefetch_entry:
data_abort_entry:
        b       .
