// Wait loops in flash: a short loop that only reads (registers, RAM, flash)
// and branches back, as an idle task polling a flag an interrupt sets, or a
// "b ." waiting for interrupts. Between two things due (an event, an
// instruction deadline), nothing can change what such a loop reads: once a
// turn has left every register and flag as the turn before did, with the
// same fetch timing and no peripheral touched, the turns up to the next
// thing due are alike, and the engine counts them without running them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "core/arm_timing.h"
#include "core/clock.h"
#include "core/code_marks.h"
#include "core/cpu.h"
#include "core/loop_regions.h"
#include "core/loop_skip.h"

namespace boardsim {

struct WaitLoop {
    uint32_t start;  // first instruction, the branch target
    uint32_t end;    // the branch back
    bool thumb;
    bool loads = false;  // reads memory, not only registers
    unsigned length() const { return (end - start) / (thumb ? 2 : 4) + 1; }
};

// Wait loops among the flash words (ARM reading and Thumb reading) whose
// code is unmarked: at most eight instructions, every one but the last
// unconditional and either register arithmetic or a load (no write-back),
// the last a branch back to the first.
std::vector<WaitLoop> findWaitLoops(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing,
                                    const CodeMarks& marks);

class WaitLoops {
public:
    // `taken(address)`: a loop starting there is already counted some other
    // way (a countdown).
    template <typename Taken>
    void find(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing, const CodeMarks& marks,
              Taken taken)
    {
        loops_.clear();
        startAt_.assign(words.size() * 2, -1);
        for (const WaitLoop& loop : findWaitLoops(words, timing, marks)) {
            if (startAt_[loop.start / 2] < 0 && !taken(loop.start)) {
                startAt_[loop.start / 2] = int16_t(loops_.size());
                Visit fresh;
                fresh.loop = loop;
                loops_.push_back(fresh);
            }
        }
    }

    int at(uint32_t address) const { return address / 2 < startAt_.size() ? startAt_[address / 2] : -1; }

    using Bounds = SkipBounds;
    // What a visit found.
    enum class Turn : uint8_t {
        Runs,     // the loop goes on as it may (turns skipped or not)
        Endless,  // the turn repeated with no interrupt able to end the loop: a hang
    };
    // At the first instruction of wait loop `index`: skips the turns that
    // would repeat the last one when `allowed`. `busAccesses`: the
    // peripheral accesses so far (a turn that touched a peripheral is never
    // repeated unseen, and may end when the peripheral changes).
    // `fiqPossible`: an FIQ source is enabled (an FIQ handler could change
    // the memory the loop reads). `unsteady`: the peripheral accesses so far
    // that were not reads of steady registers (BusTarget::steadyUntil); a
    // loop that only reads steady ones is skipped no further than
    // `quietCycle`, when the first of the turn's reads stops being steady,
    // and only after a turn in which nothing changed them (no scheduled
    // action ran, `actions` so far, and that cycle has not come).
    struct Accesses {
        uint64_t all;
        uint64_t unsteady;
        uint64_t quietCycle;
        uint64_t actions;
    };
    Turn visit(int index, uint64_t& count, Clock& clock, const FetchTiming& fetch, Bounds bounds, bool allowed,
               Accesses accesses, bool fiqPossible, const Cpu& cpu);
    const WaitLoop& loopAt(int index) const { return loops_[size_t(index)].loop; }

private:
    using Registers = std::array<uint32_t, 16>;  // r0..r14 and CPSR
    struct Visit {
        WaitLoop loop;
        uint64_t count = 0;
        uint64_t cycles = 0;
        uint64_t busAccesses = 0;
        uint64_t unsteadyAccesses = 0;
        uint64_t actions = 0;
        FetchTiming fetch;
        Registers registers{};
        bool touchesPeripherals = false;
    };
    static Registers snapshot(const Cpu& cpu);

public:
    // Where each wait loop starts.
    std::vector<uint32_t> starts() const
    {
        std::vector<uint32_t> addresses(loops_.size());
        std::transform(loops_.begin(), loops_.end(), addresses.begin(),
                       [](const Visit& v) { return v.loop.start; });
        return addresses;
    }
    // Instructions counted without being run, since the board was made.
    uint64_t skipped() const { return skipped_; }

private:
    uint64_t skipped_ = 0;
    std::vector<Visit> loops_;
    std::vector<int16_t> startAt_;  // per flash halfword
};

}  // namespace boardsim
