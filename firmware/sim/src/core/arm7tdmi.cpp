#include "core/arm7tdmi.h"

namespace boardsim {

const ExceptionEntry& exceptionEntry(ArmException kind)
{
    static const ExceptionEntry entries[] = {
        {"reset", 0x00, kModeSvc, true},
        {"undefined instruction", 0x04, kModeUnd, false},
        {"software interrupt", 0x08, kModeSvc, false},
        {"prefetch abort", 0x0C, kModeAbt, false},
        {"data abort", 0x10, kModeAbt, false},
        {"IRQ", 0x18, kModeIrq, false},
        {"FIQ", 0x1C, kModeFiq, true},
    };
    return entries[int(kind)];
}

uint32_t exceptionLink(ArmException kind, uint32_t address, bool thumb)
{
    switch (kind) {
    case ArmException::Undefined:
    case ArmException::SoftwareInterrupt: return address + (thumb ? 2 : 4);  // the next instruction
    case ArmException::DataAbort: return address + 8;  // "subs pc, lr, #8" retries the access
    case ArmException::Reset: return 0;
    default: return address + 4;  // prefetch abort, IRQ, FIQ: "subs pc, lr, #4"
    }
}

uint32_t exceptionCpsr(ArmException kind, uint32_t cpsr)
{
    const ExceptionEntry& entry = exceptionEntry(kind);
    uint32_t next = (cpsr & ~(kModeMask | kThumbBit)) | entry.mode | kIrqMask;
    if (entry.masksFiq) {
        next |= kFiqMask;
    }
    return next;
}

bool isCoprocessorInstruction(uint32_t word)
{
    if (isNeverExecuted(word)) {
        return false;
    }
    const uint32_t op = (word >> 24) & 0xF;
    return op == 0xE || (op & 0xE) == 0xC;  // CDP/MRC/MCR, LDC/STC
}

bool isArmSelfBranch(uint32_t word)
{
    return (word >> 28) != 0xF && (word & 0x0FFFFFFF) == 0x0AFFFFFE;
}

bool isThumbSelfBranch(uint16_t halfword)
{
    if (halfword == 0xE7FE) {
        return true;
    }
    const unsigned condition = (halfword >> 8) & 0xF;
    return (halfword & 0xF0FF) == 0xD0FE && condition < 0xE;
}

bool interruptsCannotLeave(uint32_t cpsr)
{
    const uint32_t mode = cpsr & kModeMask;
    return (cpsr & kIrqMask) != 0 && ((cpsr & kFiqMask) != 0 || (mode != kModeUsr && mode != kModeSys));
}

const char* modeName(uint32_t cpsr)
{
    switch (cpsr & kModeMask) {
    case kModeUsr: return "User";
    case kModeFiq: return "FIQ";
    case kModeIrq: return "IRQ";
    case kModeSvc: return "Supervisor";
    case kModeAbt: return "Abort";
    case kModeUnd: return "Undefined";
    case kModeSys: return "System";
    default: return "an invalid mode";
    }
}

}  // namespace boardsim
