// Countdown loops in flash ("subs rN, rN, #k" / "bne" back, in ARM or
// Thumb code, see loop_regions.h) whose turns are counted without being run: once a turn
// has run from its first instruction back to it with the fetch timing as
// it was, every turn but the last is alike, so the engine adds their
// instructions and cycles and lowers the counter, as far as nothing the run
// must see falls among them (an instruction deadline, a timed action).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/arm_timing.h"
#include "core/clock.h"
#include "core/code_marks.h"
#include "core/cpu.h"
#include "core/loop_regions.h"
#include "core/loop_skip.h"

namespace boardsim {

class Countdowns {
public:
    // Finds the countdowns among the flash words whose code is unmarked.
    void find(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing, const CodeMarks& marks);
    void clear();

    // The countdown whose first instruction is at `address`, or -1.
    int at(uint32_t address) const
    {
        return address / 2 < startAt_.size() ? startAt_[address / 2] : -1;
    }

    using Bounds = SkipBounds;
    // At the first instruction of countdown `index`: skips what turns it
    // may. `allowed` false (a debugger's breakpoint, a profile) only
    // notes the visit.
    void visit(int index, uint64_t& count, Clock& clock, const FetchTiming& fetch, Bounds bounds, bool allowed,
               Cpu& cpu);

    // Where each countdown starts.
    std::vector<uint32_t> starts() const
    {
        std::vector<uint32_t> addresses(loops_.size());
        std::transform(loops_.begin(), loops_.end(), addresses.begin(),
                       [](const Countdown& c) { return c.region.start; });
        return addresses;
    }
    // Instructions counted without being run, since the board was made.
    uint64_t skipped() const { return skipped_; }

private:
    uint64_t skipped_ = 0;
    struct Countdown {
        LoopRegion region;
        uint64_t visitCount;  // instructions and cycles when its first instruction last came up
        uint64_t visitCycles;
        FetchTiming visitFetch;
    };
    std::vector<Countdown> loops_;
    std::vector<int16_t> startAt_;  // per flash halfword: the countdown starting there, or -1
};

}  // namespace boardsim
