#include "core/arm_timing.h"

#include <bitset>

namespace boardsim {
namespace {

constexpr uint8_t kPcRegister = 15;

uint8_t rd(uint32_t word) { return uint8_t((word >> 12) & 0xF); }
uint8_t rn(uint32_t word) { return uint8_t((word >> 16) & 0xF); }
bool isLoad(uint32_t word) { return (word & (1u << 20)) != 0; }

InsnTiming timing(uint8_t cycles, uint8_t flags) { return {cycles, flags, 0}; }

InsnTiming dataProcessing(uint32_t word)
{
    const bool registerShift = (word & (1u << 25)) == 0 && (word & 0x10) != 0;
    const unsigned opcode = (word >> 21) & 0xF;
    const bool compares = opcode >= 8 && opcode <= 11;  // TST, TEQ, CMP, CMN write no register
    uint8_t cycles = registerShift ? 2 : 1;                // 1S (+1I)
    if (!compares && rd(word) == kPcRegister) {
        return timing(uint8_t(cycles + 2), InsnTiming::kWritesPc);  // +1S +1N
    }
    return timing(cycles, 0);
}

InsnTiming singleTransfer(uint32_t word)
{
    if (isLoad(word)) {
        uint8_t flags = InsnTiming::kMemory;
        if (rn(word) == kPcRegister) {
            flags |= InsnTiming::kFlashLiteral;
        }
        if (rd(word) == kPcRegister) {
            return timing(5, uint8_t(flags | InsnTiming::kWritesPc));  // 2S + 2N + 1I
        }
        return timing(3, flags);  // 1S + 1N + 1I
    }
    return timing(2, InsnTiming::kMemory);  // 2N
}

InsnTiming blockTransfer(uint32_t word)
{
    const auto registers = uint8_t(std::bitset<16>(word & 0xFFFF).count());
    const uint8_t n = registers == 0 ? 1 : registers;
    if (isLoad(word)) {
        if ((word & (1u << kPcRegister)) != 0) {
            return timing(uint8_t(n + 4), InsnTiming::kMemory | InsnTiming::kWritesPc);  // (n+1)S + 2N + 1I
        }
        return timing(uint8_t(n + 2), InsnTiming::kMemory);  // nS + 1N + 1I
    }
    return timing(uint8_t(n + 1), InsnTiming::kMemory);  // (n-1)S + 2N
}

InsnTiming multiplyOrExtra(uint32_t word)
{
    if ((word & 0x0FC000F0) == 0x00000090) {  // MUL, MLA: 1S + mI (+1I)
        const bool accumulate = (word & (1u << 21)) != 0;
        return {uint8_t(accumulate ? 2 : 1), InsnTiming::kMultiply, uint8_t((word >> 8) & 0xF)};
    }
    if ((word & 0x0F8000F0) == 0x00800090) {  // UMULL, UMLAL, SMULL, SMLAL: 1S + (m+1)I (+1I)
        const bool accumulate = (word & (1u << 21)) != 0;
        const bool isSigned = (word & (1u << 22)) != 0;
        return {uint8_t(accumulate ? 3 : 2),
                uint8_t(InsnTiming::kMultiply | InsnTiming::kLongMultiply |
                        (isSigned ? 0 : InsnTiming::kUnsignedMultiply)),
                uint8_t((word >> 8) & 0xF)};
    }
    if ((word & 0x0FB00FF0) == 0x01000090) {  // SWP, SWPB: 1S + 2N + 1I
        return timing(4, InsnTiming::kMemory);
    }
    // LDRH, STRH, LDRSB, LDRSH: as their word-sized kin.
    return singleTransfer(word);
}

InsnTiming classify(uint32_t word)
{
    if ((word & 0x0FFFFFF0) == 0x012FFF10) {
        return timing(3, InsnTiming::kWritesPc);  // BX: 2S + 1N
    }
    switch ((word >> 25) & 0x7) {
    case 0:
        if ((word & 0x90) == 0x90) {
            return multiplyOrExtra(word);
        }
        return dataProcessing(word);
    case 1: return dataProcessing(word);
    case 2: return singleTransfer(word);
    case 3:
        if ((word & 0x10) != 0) {
            return timing(4, 0);  // undefined: 2S + 1N + 1I
        }
        return singleTransfer(word);
    case 4: return blockTransfer(word);
    case 5: return timing(3, InsnTiming::kWritesPc);  // B, BL: 2S + 1N
    case 6: return timing(4, 0);                      // LDC, STC: undefined here
    default:
        if ((word & (1u << 24)) != 0) {
            return timing(3, InsnTiming::kWritesPc);  // SWI: 2S + 1N
        }
        return timing(4, 0);  // CDP, MRC, MCR: undefined here
    }
}

}  // namespace

InsnTiming armTiming(uint32_t word)
{
    InsnTiming t = classify(word);
    if ((word >> 28) != 0xE) {
        t.flags |= InsnTiming::kConditional;
    }
    return t;
}

unsigned multiplierCycles(uint32_t rs, bool unsignedMultiply)
{
    auto uniform = [rs, unsignedMultiply](unsigned from) {
        const uint32_t top = rs >> from;
        return top == 0 || (!unsignedMultiply && top == (0xFFFFFFFFu >> from));
    };
    if (uniform(8)) {
        return 1;
    }
    if (uniform(16)) {
        return 2;
    }
    return uniform(24) ? 3 : 4;
}

bool conditionPasses(uint32_t word, uint32_t cpsr)
{
    const bool n = ((cpsr >> 31) & 1) != 0;
    const bool z = ((cpsr >> 30) & 1) != 0;
    const bool c = ((cpsr >> 29) & 1) != 0;
    const bool v = ((cpsr >> 28) & 1) != 0;
    switch (word >> 28) {
    case 0x0: return z;
    case 0x1: return !z;
    case 0x2: return c;
    case 0x3: return !c;
    case 0x4: return n;
    case 0x5: return !n;
    case 0x6: return v;
    case 0x7: return !v;
    case 0x8: return c && !z;
    case 0x9: return !c || z;
    case 0xA: return n == v;
    case 0xB: return n != v;
    case 0xC: return !z && n == v;
    case 0xD: return z || n != v;
    case 0xF: return false;  // NV: never, on the ARM7TDMI
    default: return true;
    }
}

unsigned FetchTiming::wait(uint32_t address, bool sequential)
{
    const uint32_t line = address >> 4;
    const unsigned miss = fetchCycles_ - 1;
    if (mode_ == 0) {
        return miss;
    }
    if (line == line_ || (sequential && line == line_ + 1)) {
        line_ = line;  // in the buffer, or prefetched while the last line ran
        return 0;
    }
    line_ = line;
    if (mode_ == 2 && !sequential) {
        if (line == branchLine_) {
            return 0;
        }
        branchLine_ = line;
    }
    return miss;
}

unsigned FetchTiming::dataWait(uint32_t address)
{
    const uint32_t line = address >> 4;
    if (mode_ == 2 && line == dataLine_) {
        return 0;
    }
    dataLine_ = line;
    return fetchCycles_ - 1;
}

}  // namespace boardsim
