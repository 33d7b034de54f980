/* Two tasks under a small preemptive kernel of our own: a 1 kHz Timer0 tick
   switches between them, and so does a task that finds the queue between
   them full (the producer) or empty (the consumer), by raising a software
   request on the VIC. Both run in System mode with interrupts open. The
   switch saves a task's whole context on its own stack (the User/System
   bank reached from IRQ mode with STM^/LDM^) and returns by SUBS PC, LR.
   The producer computes on its stack (a recursive walk over local
   arrays), the consumer checks every item it takes: `errors` stays 0
   while the kernel keeps each task's registers. */
#include "lpc.h"

#define QUEUE_LENGTH 8
#define STACK_WORDS 256
#define CH_SOFT 1 /* a channel nothing else drives: the yield request */

struct task {
    unsigned *sp; /* saved context, lowest word first: CPSR, r0-r14, PC + 4 */
    unsigned stack[STACK_WORDS];
};

struct task tasks[2];
struct task *volatile current;

volatile unsigned queue[QUEUE_LENGTH];
volatile unsigned head, tail;
volatile unsigned ticks, yields, produced, consumed, errors;

/* Picks the next task; runs in IRQ mode between the halves of the switch. */
__attribute__((target("arm"), used)) void rtos_schedule(void)
{
    if (VICIRQStatus & (1u << CH_TIMER0)) {
        T0IR = 1;
        ++ticks;
    }
    if (VICIRQStatus & (1u << CH_SOFT)) {
        VICSoftIntClear = 1u << CH_SOFT;
        ++yields;
    }
    current = current == &tasks[0] ? &tasks[1] : &tasks[0];
    VICVectAddr = 0;
}

/* The IRQ vector's target for both the tick and the yield request. */
__attribute__((naked, target("arm"))) void rtos_switch(void)
{
    __asm__ volatile(
        "stmfd  sp!, {r0}\n\t"          /* a scratch register on the IRQ stack */
        "stmdb  sp, {sp}^\n\t"          /* the task's SP, from the System bank */
        "nop\n\t"
        "ldmdb  sp, {r0}\n\t"
        "stmdb  r0!, {lr}\n\t"          /* its return address (+4) on its stack */
        "mov    lr, r0\n\t"
        "ldmfd  sp!, {r0}\n\t"
        "sub    lr, lr, #60\n\t"
        "stmia  lr, {r0-lr}^\n\t"       /* r0-r14 of the task */
        "nop\n\t"
        "mrs    r0, spsr\n\t"
        "stmdb  lr!, {r0}\n\t"          /* and its CPSR */
        "ldr    r0, =current\n\t"
        "ldr    r0, [r0]\n\t"
        "str    lr, [r0]\n\t"
        "bl     rtos_schedule\n\t"
        ".global rtos_resume\n"
        "rtos_resume:\n\t"              /* also the first start, from IRQ mode */
        "ldr    r0, =current\n\t"
        "ldr    r0, [r0]\n\t"
        "ldr    lr, [r0]\n\t"
        "ldmfd  lr!, {r0}\n\t"
        "msr    spsr_cxsf, r0\n\t"
        "ldmia  lr, {r0-lr}^\n\t"
        "nop\n\t"
        "ldr    lr, [lr, #60]\n\t"
        "subs   pc, lr, #4\n\t"
        ".ltorg\n\t");
}

/* Enters the first task: IRQ mode (masked), then the switch's second half. */
__attribute__((naked, target("arm"), noinline)) static void rtos_start(void)
{
    __asm__ volatile(
        "msr    cpsr_c, #0xD2\n\t"
        "b      rtos_resume\n\t");
}

static void yield(void)
{
    VICSoftInt = 1u << CH_SOFT;
}

/* Stack-heavy work: each level keeps an array of its own. */
static unsigned walk(unsigned seed, unsigned depth)
{
    volatile unsigned local[12];
    unsigned sum = seed;
    for (unsigned i = 0; i < 12; ++i) {
        local[i] = seed * (i + 1) + depth;
    }
    if (depth > 0) {
        sum += walk(seed ^ (depth << 3), depth - 1);
    }
    for (unsigned i = 0; i < 12; ++i) {
        sum = (sum << 1 | sum >> 31) ^ local[i];
    }
    return sum;
}

static unsigned item(unsigned n)
{
    return walk(n * 2654435761u, 6);
}

static void producer(void)
{
    for (unsigned n = 0;; ++n) {
        const unsigned value = item(n);
        while (head - tail == QUEUE_LENGTH) {
            yield();
        }
        queue[head % QUEUE_LENGTH] = value;
        ++head;
        ++produced;
    }
}

static void consumer(void)
{
    for (unsigned n = 0;; ++n) {
        while (head == tail) {
            yield();
        }
        const unsigned value = queue[tail % QUEUE_LENGTH];
        ++tail;
        if (value != item(n)) {
            ++errors;
        }
        ++consumed;
    }
}

static void prepare(struct task *t, void (*entry)(void))
{
    const unsigned address = (unsigned)entry;
    unsigned *sp = &t->stack[STACK_WORDS - 17];
    sp[0] = 0x1F | ((address & 1) ? 0x20 : 0); /* System mode, interrupts open */
    for (unsigned r = 0; r < 13; ++r) {
        sp[1 + r] = 0;
    }
    sp[14] = (unsigned)&t->stack[STACK_WORDS]; /* SP */
    sp[15] = 0;                                /* LR: a task never returns */
    sp[16] = (address & ~1u) + 4;
    t->sp = sp;
}

int main(void)
{
    full_speed();
    VPBDIV = 1; /* pclk = cclk = 44.2368 MHz */
    prepare(&tasks[0], producer);
    prepare(&tasks[1], consumer);
    current = &tasks[0];
    T0MR0 = 44236800u / 1000 - 1;
    T0MCR = 3;
    VICVectAddrN(0) = (unsigned)rtos_switch;
    VICVectCntlN(0) = 0x20 | CH_TIMER0;
    VICDefVectAddr = (unsigned)rtos_switch;
    VICIntEnable = (1u << CH_TIMER0) | (1u << CH_SOFT);
    T0TCR = 1;
    rtos_start();
    return 0;
}
