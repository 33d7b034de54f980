// The core's registers as the simulator's users name them: the registers of
// the current mode, as an ARM7TDMI program sees them.
#pragma once

namespace boardsim {

enum class CpuReg {
    R0, R1, R2, R3, R4, R5, R6, R7, R8, R9, R10, R11, R12,
    SP,  // r13
    LR,  // r14
    PC,  // r15
    CPSR,
    SPSR,  // of the current mode; none in User and System mode
};

constexpr int kCpuRegCount = int(CpuReg::SPSR) + 1;

constexpr CpuReg cpuReg(int n) { return CpuReg(n); }  // r0..r15

}  // namespace boardsim
