// What each instruction costs in core clock cycles: the ARM7TDMI's cycle
// tables (arm_timing.h, thumb_timing.h) for the instruction in flash or RAM,
// the MAM's fetch waits (a 128-bit line holds four ARM or eight Thumb
// instructions), the PC-relative literal's data wait, the multiplier's
// early termination, and a cycle for a conditional instruction or branch
// not taken. An instruction's cost is charged when it starts and settled
// when the next one shows where it went.
#pragma once

#include <cstdint>
#include <vector>

#include "core/arm_timing.h"
#include "core/clock.h"
#include "core/cpu.h"

namespace boardsim {

// How the machine's memories and bus make the core wait.
struct MemoryTiming {
    unsigned mamMode = 0;          // 0 off, 1 partly, 2 fully on
    unsigned mamFetchCycles = 7;   // flash fetch cycles when the MAM reads flash
    unsigned busWait = 0;          // extra cycles of a peripheral access
};

class CycleModel {
public:
    // `enabled` off: every instruction costs one cycle (to measure the
    // model's own cost).
    explicit CycleModel(bool enabled) : enabled_(enabled) {}

    // The flash's words, as the core will fetch them.
    void loadFlash(const std::vector<uint8_t>& flash);
    // A debugger changed the word at flash index `index`.
    void rewrite(size_t index, uint32_t word);
    void configure(const MemoryTiming& timing);

    size_t flashWords() const { return words_.size(); }
    const std::vector<uint32_t>& words() const { return words_; }
    const std::vector<InsnTiming>& timings() const { return timing_; }
    const FetchTiming& fetch() const { return fetch_; }
    unsigned busWait() const { return busWait_; }

    // The instruction before has run: its cycles count now that it is known
    // where it went (a conditional branch not taken costs one cycle).
    void settle(uint32_t address, Clock& clock)
    {
        if (pendingCycles_ != 0) {
            // Not taken: 1S, and the fetch it waited for all the same.
            clock.advance(pendingSkippable_ && address == pendingAddress_ + pendingSize_ ? 1 + pendingFetchWait_
                                                                                         : pendingCycles_);
            pendingCycles_ = 0;
        }
    }

    // The instruction at `address` starts: what it will cost.
    void charge(uint32_t address, uint32_t size, const Cpu& cpu)
    {
        if (!enabled_) {
            pendingCycles_ = 1;
            pendingSkippable_ = false;
            return;
        }
        if (size == 4) {
            chargeArm(address, cpu);
        } else {
            chargeThumb(address, cpu);
        }
    }

private:
    void chargeArm(uint32_t address, const Cpu& cpu);
    void chargeThumb(uint32_t address, const Cpu& cpu);
    // The fetch of the instruction at `address`, `size` bytes after the
    // last one when it runs in sequence.
    uint32_t fetchWait(uint32_t address, uint32_t size, bool inFlash);

    bool enabled_;
    std::vector<uint32_t> words_;     // one per flash word
    std::vector<InsnTiming> timing_;  // one per flash word
    FetchTiming fetch_;
    unsigned busWait_ = 0;
    uint32_t lastFetch_ = 0xFFFFFFFF;
    uint32_t pendingCycles_ = 0;  // of the instruction running, settled at the next one
    uint32_t pendingAddress_ = 0;
    uint32_t pendingSize_ = 4;
    uint32_t pendingFetchWait_ = 0;
    bool pendingSkippable_ = false;  // a conditional branch: 1 cycle if not taken
};

}  // namespace boardsim
