// Words with the NV condition (1111): the ARM7TDMI never executes them, and
// Unicorn's core would take them as undefined, so the engine steps over them
// itself. Erased flash is all such words: code that jumps into it runs on
// through it, each word a condition that failed, until something else comes
// (here the end of flash, and a prefetch abort that names the way in).
#include "core/engine.h"
#include "util/text.h"

namespace boardsim {

// Called for a word the core is about to execute, already counted.
void Engine::neverExecuted(uint32_t address)
{
    if ((reg(CpuReg::CPSR) & kThumbBit) != 0) {
        return;  // the marks are of ARM words; Thumb has no condition field
    }
    if (!neverRun_ || address != neverRun_->last + 4 || previousPc_ != neverRun_->last) {
        neverRun_ = NeverRun{address, previousPc_, address};
    }
    neverRun_->last = address;
    pendingNever_ = address;
    cpu_.stop();
}

// The core has stopped before the word at `address`: it is done (counted
// and charged as a failed condition). The flash words of the same kind that
// follow go the same way at once, as far as nothing else is due among them
// (a deadline, timed work, a breakpoint or any other mark, an interrupt).
void Engine::stepOverNever(uint32_t address)
{
    uint32_t next = address + 4;
    while (next / 4 < cycleModel_.flashWords() && marks_.at(next) == CodeMarks::kNever && !nIrq_ && !nFiq_ &&
           !stopAsked() && !fault_ && count_ < limit_ && !calls_.returnDue(next)) {
        cycleModel_.settle(next, clock_);
        if (scheduler_.due(count_)) {
            break;
        }
        ++count_;
        previousPc_ = lastPc_;
        lastPc_ = next;
        cycleModel_.charge(next, 4, cpu_);
        const uint32_t index = next - profileBegin_;
        if (index < profileCounts_.size()) {
            ++profileCounts_[index];
        }
        neverRun_->last = next;
        next += 4;
    }
    setReg(CpuReg::PC, next);
}

std::string Engine::fetchAbortText(uint32_t address) const
{
    const std::string text = "instruction fetch from unmapped address " + hex(address);
    if (!neverRun_ || address != neverRun_->last + 4) {
        return text + " (jumped there from the instruction below)";
    }
    const uint32_t words = (neverRun_->last - neverRun_->first) / 4 + 1;
    return text + ", after " + std::to_string(words) + " never-executed word" + (words == 1 ? "" : "s") + " from " +
           hex(neverRun_->first) +
           " (condition NV: erased flash reads 0xffffffff, and the ARM7TDMI runs through it); the code went "
           "there from the instruction below";
}

}  // namespace boardsim
