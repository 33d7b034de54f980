#include "core/thumb_timing.h"

#include <array>
#include <bitset>

namespace boardsim {
namespace {

InsnTiming timing(uint8_t cycles, uint8_t flags = 0) { return {cycles, flags, 0}; }

uint8_t listed(uint16_t halfword, bool extra)
{
    const auto n = uint8_t(std::bitset<8>(halfword & 0xFF).count() + (extra ? 1 : 0));
    return n == 0 ? 1 : n;
}

InsnTiming load() { return timing(3, InsnTiming::kMemory); }   // 1S + 1N + 1I
InsnTiming store() { return timing(2, InsnTiming::kMemory); }  // 2N

InsnTiming aluOperation(uint16_t halfword)
{
    const unsigned op = (halfword >> 6) & 0xF;
    if (op == 0xD) {  // MUL Rd, Rs: as MULS Rd, Rs, Rd, so Rd's size sets m
        return {1, InsnTiming::kMultiply, uint8_t(halfword & 0x7)};
    }
    if (op == 0x2 || op == 0x3 || op == 0x4 || op == 0x7) {
        return timing(2);  // LSL, LSR, ASR, ROR by register: 1S + 1I
    }
    return timing(1);
}

InsnTiming highRegisters(uint16_t halfword)
{
    const unsigned op = (halfword >> 8) & 0x3;
    if (op == 0x3) {
        return timing(3, InsnTiming::kWritesPc);  // BX: 2S + 1N
    }
    const unsigned rd = (halfword & 0x7) | ((halfword >> 4) & 0x8);
    if (op != 0x1 && rd == 15) {
        return timing(3, InsnTiming::kWritesPc);  // ADD or MOV into the PC: 2S + 1N
    }
    return timing(1);
}

// 0100 ... and 0101 ...: ALU operations, high registers and BX, the
// PC-relative load, loads and stores with a register offset.
InsnTiming format4To8(uint16_t hw)
{
    if ((hw & 0xFC00) == 0x4000) {
        return aluOperation(hw);
    }
    if ((hw & 0xFC00) == 0x4400) {
        return highRegisters(hw);
    }
    if ((hw & 0xF800) == 0x4800) {
        return timing(3, InsnTiming::kMemory | InsnTiming::kFlashLiteral);  // LDR Rd, [PC, #imm]
    }
    if ((hw & 0x0200) == 0) {
        return (hw & 0x0800) != 0 ? load() : store();  // LDR/STR(B) register offset
    }
    return (hw & 0x0C00) == 0 ? store() : load();  // STRH; LDRH, LDSB, LDSH
}

// 1011 ...: PUSH and POP (the rest is SP arithmetic, 1S).
InsnTiming stackOperation(uint16_t hw)
{
    if ((hw & 0xF600) != 0xB400) {
        return timing(1);
    }
    const bool pop = (hw & 0x0800) != 0;
    const bool extra = (hw & 0x0100) != 0;  // LR pushed, PC popped
    const uint8_t n = listed(hw, extra);
    if (!pop) {
        return timing(uint8_t(n + 1), InsnTiming::kMemory);  // (n-1)S + 2N
    }
    if (extra) {
        return timing(uint8_t(n + 4), InsnTiming::kMemory | InsnTiming::kWritesPc);  // (n+1)S + 2N + 1I
    }
    return timing(uint8_t(n + 2), InsnTiming::kMemory);  // nS + 1N + 1I
}

// 1100 ... and 1101 ...: LDMIA/STMIA, conditional branches, SWI.
InsnTiming multipleOrBranch(uint16_t hw)
{
    if ((hw & 0xF000) == 0xC000) {
        const uint8_t n = listed(hw, false);
        return (hw & 0x0800) != 0 ? timing(uint8_t(n + 2), InsnTiming::kMemory)   // nS + 1N + 1I
                                  : timing(uint8_t(n + 1), InsnTiming::kMemory);  // (n-1)S + 2N
    }
    if ((hw & 0xFE00) == 0xDE00) {
        return timing(3, InsnTiming::kWritesPc);  // SWI; the undefined 0xDE: an exception entry
    }
    return timing(3, InsnTiming::kConditional | InsnTiming::kWritesPc);  // B<cond>
}

// 111 ...: B, the two halves of BL, and what ARMv4T leaves undefined.
InsnTiming unconditionalBranch(uint16_t hw)
{
    switch ((hw >> 11) & 0x3) {
    case 0: return timing(3, InsnTiming::kWritesPc);  // B
    case 2: return timing(1);                         // BL, first half: LR gets the high part
    case 3: return timing(3, InsnTiming::kWritesPc);  // BL, second half: the branch
    default: return timing(4);                        // undefined on the ARM7TDMI: 2S + 1N + 1I
    }
}

InsnTiming classify(uint16_t hw)
{
    switch (hw >> 13) {
    case 0:  // shifts, add and subtract
    case 1:  // immediate move, compare, add, subtract
        return timing(1);
    case 2: return format4To8(hw);
    case 3:  // LDR/STR(B) immediate offset
    case 4:  // LDRH/STRH immediate; SP-relative LDR/STR
        return (hw & 0x0800) != 0 ? load() : store();
    case 5:
        return (hw & 0x1000) != 0 ? stackOperation(hw) : timing(1);  // load address: 1S
    case 6: return multipleOrBranch(hw);
    default: return unconditionalBranch(hw);
    }
}

}  // namespace

InsnTiming thumbTiming(uint16_t halfword)
{
    static const auto table = [] {
        std::array<InsnTiming, 65536> all{};
        for (uint32_t hw = 0; hw < all.size(); ++hw) {
            all[hw] = classify(uint16_t(hw));
        }
        return all;
    }();
    return table[halfword];
}

}  // namespace boardsim
