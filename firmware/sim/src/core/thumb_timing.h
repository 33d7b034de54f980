// Cycle counts of the ARM7TDMI's Thumb instructions, from the Technical
// Reference Manual: each Thumb instruction costs what its ARM equivalent
// costs (S, N and I cycles by class), fetched 16 bits at a time.
#pragma once

#include <cstdint>

#include "core/arm_timing.h"

namespace boardsim {

// For `halfword`, a Thumb instruction. kFlashLiteral marks a PC-relative
// load (its literal sits in flash when the code does); kMultiply names Rd,
// the operand whose size ends the multiplier early; kConditional with
// kWritesPc is a conditional branch (1S when not taken); a BL's first half
// is 1S, its second half the branch.
InsnTiming thumbTiming(uint16_t halfword);

// The literal a PC-relative Thumb load at `address` reads.
inline uint32_t thumbLiteralAddress(uint32_t address, uint16_t halfword)
{
    return ((address + 4) & ~3u) + (halfword & 0xFFu) * 4;
}

}  // namespace boardsim
