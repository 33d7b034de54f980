#include "core/loop_regions.h"

namespace boardsim {

bool registerOnly(uint32_t word, const InsnTiming& timing)
{
    constexpr uint8_t kNotPlain = InsnTiming::kMemory | InsnTiming::kMultiply | InsnTiming::kWritesPc;
    if ((timing.flags & kNotPlain) != 0 || timing.cycles > 2) {
        return false;  // undefined and coprocessor words cost 4: never plain
    }
    const bool dataProcessing = ((word >> 26) & 0x3) == 0;
    // MSR changes mode or interrupt masks: let the board see it.
    const bool msr = (word & 0x0DB0F000) == 0x0120F000;
    return dataProcessing && !msr;
}

void recogniseCountdown(LoopRegion& loop, const std::vector<uint32_t>& words)
{
    if (loop.length() != 2) {
        return;
    }
    const uint32_t subs = words[loop.start / 4];
    const uint32_t bne = words[loop.end / 4];
    // cond AL, immediate operand, opcode SUB, S set; Rd = Rn.
    const bool isSubs = (subs & 0xFFF00000) == 0xE2500000 && ((subs >> 16) & 0xF) == ((subs >> 12) & 0xF);
    const bool isBne = (bne >> 28) == 0x1;
    if (!isSubs || !isBne || ((subs >> 12) & 0xF) == 15) {
        return;
    }
    const uint32_t rotate = 2 * ((subs >> 8) & 0xF);
    const uint32_t imm = subs & 0xFF;
    const uint32_t step = rotate == 0 ? imm : (imm >> rotate) | (imm << (32 - rotate));
    if (step != 0) {
        loop.counter = int((subs >> 12) & 0xF);
        loop.step = step;
    }
}

void recogniseThumbCountdown(LoopRegion& loop, uint16_t subs, uint16_t bne)
{
    if (bne != 0xD1FD) {
        return;
    }
    if ((subs & 0xF800) == 0x3800) {  // SUB Rd, #imm8 (sets the flags)
        loop.counter = (subs >> 8) & 0x7;
        loop.step = subs & 0xFF;
    } else if ((subs & 0xFE00) == 0x1E00 && ((subs >> 3) & 0x7) == (subs & 0x7)) {  // SUB Rd, Rd, #imm3
        loop.counter = subs & 0x7;
        loop.step = (subs >> 6) & 0x7;
    }
    if (loop.step == 0) {
        loop.counter = -1;
    }
}

}  // namespace boardsim
