// What the loops counted by the turn share: how far a skip may go, and the
// skip itself.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/clock.h"

namespace boardsim {

// The next instruction deadline and the next cycle at which timed work is
// due: a skip ends before either.
struct SkipBounds {
    uint64_t count;
    uint64_t cycle;
};

// Whole turns (of `turnLength` instructions and `turnCycles` cycles) that
// fit before the bounds, at most `most`.
inline uint64_t turnsBefore(const SkipBounds& bounds, uint64_t count, const Clock& clock, uint64_t turnLength,
                            uint64_t turnCycles, uint64_t most = UINT64_MAX)
{
    uint64_t turns = std::min(most, bounds.count > count ? (bounds.count - count) / turnLength : 0);
    return std::min(turns, bounds.cycle > clock.cycles() ? (bounds.cycle - clock.cycles()) / turnCycles : 0);
}

// Counts `turns` turns as run: their instructions and cycles.
inline void countTurns(uint64_t turns, uint64_t turnLength, uint64_t turnCycles, uint64_t& count, Clock& clock,
                       uint64_t& skipped)
{
    count += turns * turnLength;
    skipped += turns * turnLength;
    clock.advance(turns * turnCycles);
}

}  // namespace boardsim
