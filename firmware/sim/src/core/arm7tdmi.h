// The ARM7TDMI as the simulator models it on Unicorn's ARMv4T core (TI925T):
// how it enters exceptions, and what it does not have.
//
// Differences from a real ARM7TDMI that remain:
// - Coprocessor instructions (CDP, MRC, MCR, LDC, STC) are trapped before
//   Unicorn sees them and enter the undefined-instruction vector, since the
//   TI925T answers for a CP15 the ARM7TDMI lacks. A coprocessor on the bus
//   (none on the LPC2294) could not be modelled.
// - Aborts: the LPC2294 aborts accesses to unmapped space; the model aborts
//   on every address no memory or peripheral model claims, and faults
//   instead on a modelled peripheral's unknown register (stricter than the chip).
// - Base-register write-back after a data abort is QEMU's ("base restored"),
//   whereas the ARM7TDMI leaves the base updated ("base updated" abort model).
// - Time is cycle-approximate (arm_timing.h, thumb_timing.h): the cycle
//   table per instruction class in both states, MAM fetch waits, one VPB
//   wait per divider step (also for the VIC, which sits on the AHB); no
//   bus contention, no waits for data loads from flash other than a
//   PC-relative literal.
// - Interrupts are taken between instructions, as the VIC drives nIRQ and
//   nFIQ; waking from idle or power-down costs no cycles.
// - No debug (EmbeddedICE, BKPT is undefined on ARMv4T) and no Jazelle-like
//   extras; Thumb state is QEMU's ARMv4T Thumb.
// - The NV condition (field 1111): the ARM7TDMI never executes such an
//   instruction (its data sheet reserves NV, "never", and tells software
//   not to use it; later architectures reuse the space). QEMU takes the
//   words as undefined, so the engine steps over them itself, each as a
//   condition that failed (1S). Erased flash reads 0xFFFFFFFF: a jump into
//   it runs through to what follows, here the end of flash and a prefetch
//   abort. The LPC2294's boot block, at the top of the chip's flash, is
//   erased flash in the model.
#pragma once

#include <cstdint>

namespace boardsim {

enum class ArmException { Reset, Undefined, SoftwareInterrupt, PrefetchAbort, DataAbort, Irq, Fiq };

constexpr uint32_t kModeMask = 0x1F;
constexpr uint32_t kModeUsr = 0x10;
constexpr uint32_t kModeFiq = 0x11;
constexpr uint32_t kModeIrq = 0x12;
constexpr uint32_t kModeSvc = 0x13;
constexpr uint32_t kModeAbt = 0x17;
constexpr uint32_t kModeUnd = 0x1B;
constexpr uint32_t kModeSys = 0x1F;
constexpr uint32_t kIrqMask = 0x80;
constexpr uint32_t kFiqMask = 0x40;
constexpr uint32_t kThumbBit = 0x20;

struct ExceptionEntry {
    const char* name;
    uint32_t vector;
    uint32_t mode;
    bool masksFiq;
};

const ExceptionEntry& exceptionEntry(ArmException kind);

// LR on entry. `address` is the instruction the exception concerns: the
// one that was undefined, called SWI, or aborted; for IRQ and FIQ the one
// that would have run next.
uint32_t exceptionLink(ArmException kind, uint32_t address, bool thumb);

// CPSR on entry: the exception's mode, ARM state, IRQ masked, FIQ too for
// reset and FIQ; the flags kept.
uint32_t exceptionCpsr(ArmException kind, uint32_t cpsr);

// An ARM-state word with the NV condition (1111), which the ARM7TDMI never
// executes.
constexpr bool isNeverExecuted(uint32_t word) { return (word >> 28) == 0xF; }

// An ARM-state word the ARM7TDMI would hand to a coprocessor: CDP, MRC,
// MCR, LDC, STC (any condition but the reserved 1111).
bool isCoprocessorInstruction(uint32_t word);

// A branch to itself ("b ."), which only an interrupt can leave: in ARM
// state any condition but 1111; in Thumb state B or a conditional B.
bool isArmSelfBranch(uint32_t word);
bool isThumbSelfBranch(uint16_t halfword);
// The condition field such a branch tests (0xE: always).
inline uint32_t thumbBranchCondition(uint16_t halfword)
{
    return (halfword & 0xF000) == 0xD000 ? uint32_t((halfword >> 8) & 0xF) : 0xEu;
}

// No interrupt can take the core out of a loop that does not leave by
// itself: IRQ masked, and FIQ masked or the core in an exception mode
// (whose handler an FIQ would only return to).
bool interruptsCannotLeave(uint32_t cpsr);

// The mode's name: "User", "FIQ", "IRQ", "Supervisor", "Abort",
// "Undefined", "System".
const char* modeName(uint32_t cpsr);

}  // namespace boardsim
