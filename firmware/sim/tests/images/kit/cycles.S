/* The same loop in ARM and in Thumb state, for cycles counted by hand from
   the ARM7TDMI's cycle table: a load from RAM (1S + 1N + 1I), an add (1S),
   a subtract (1S) and a taken branch (2S + 1N), 8 cycles a turn, plus the
   flash's wait on each fetch (MAM off after reset, 7 cycles a fetch: 6
   more per instruction). Each loop runs 100 turns between two labels. */
        .syntax unified
        .text
        .global main
        .arm
main:
        push    {r4, lr}
        ldr     r1, =0x40000000
        mov     r0, #100
        .global arm_loop_start
arm_loop_start:
1:      ldr     r2, [r1]
        add     r3, r3, r2
        subs    r0, r0, #1
        bne     1b
        .global arm_loop_end
arm_loop_end:
        ldr     r4, =thumb_part + 1
        mov     lr, pc
        bx      r4
        .global probe_finished
probe_finished:
        pop     {r4, lr}
        bx      lr

        .thumb
        .thumb_func
thumb_part:
        ldr     r1, =0x40000000
        movs    r0, #100
        .global thumb_loop_start
        .thumb_func
thumb_loop_start:
2:      ldr     r2, [r1]
        adds    r3, r3, r2
        subs    r0, #1
        bne     2b
        .global thumb_loop_end
        .thumb_func
thumb_loop_end:
        push    {lr}
        bl      thumb_countdown
        pop     {r0}
        bx      r0
        .ltorg

/* A countdown in Thumb state: counted by the turn, it must cost what it
   costs turn by turn (7 + 9 cycles a turn with the MAM off). */
        .thumb
        .global thumb_countdown
        .thumb_func
thumb_countdown:
        movs    r0, #200
        .global thumb_countdown_start
        .thumb_func
thumb_countdown_start:
3:      subs    r0, #1
        bne     3b
        .global thumb_countdown_end
        .thumb_func
thumb_countdown_end:
        bx      lr
