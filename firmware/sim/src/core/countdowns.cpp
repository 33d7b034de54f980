#include "core/countdowns.h"

#include <algorithm>

#include "core/arm7tdmi.h"

namespace boardsim {
namespace {

// The vectors and their table are never a busy-wait loop.
constexpr uint32_t kFirstLoopAddress = 0x40;

}  // namespace

void Countdowns::find(const std::vector<uint32_t>& words, const std::vector<InsnTiming>& timing,
                      const CodeMarks& marks)
{
    clear();
    startAt_.assign(words.size() * 2, -1);
    const auto plain = [&marks](size_t i) { return i * 4 >= kFirstLoopAddress && marks.plainWord(i); };
    for (const LoopRegion& loop : findLoopRegions(words, timing, plain)) {
        if (loop.counter >= 0) {
            startAt_[loop.start / 2] = int16_t(loops_.size());
            loops_.push_back({loop, 0, 0, {}});
        }
    }
    // The same words read as Thumb code; where both readings find a loop
    // at one address, the ARM one stands (visit() checks the core's state).
    for (const LoopRegion& loop : findThumbCountdowns(words, plain)) {
        if (startAt_[loop.start / 2] < 0) {
            startAt_[loop.start / 2] = int16_t(loops_.size());
            loops_.push_back({loop, 0, 0, {}});
        }
    }
}

void Countdowns::clear()
{
    loops_.clear();
    std::fill(startAt_.begin(), startAt_.end(), int16_t(-1));
}

void Countdowns::visit(int index, uint64_t& count, Clock& clock, const FetchTiming& fetch, Bounds bounds,
                       bool allowed, Cpu& cpu)
{
    Countdown& loop = loops_[size_t(index)];
    const uint64_t turnLength = loop.region.length();
    const bool oneTurnAgo = count == loop.visitCount + turnLength && loop.visitFetch == fetch;
    const uint64_t turnCycles = clock.cycles() - loop.visitCycles;
    loop.visitCount = count;
    loop.visitCycles = clock.cycles();
    loop.visitFetch = fetch;
    if (!oneTurnAgo || turnCycles == 0 || !allowed) {
        return;
    }
    if (((cpu.reg(CpuReg::CPSR) & kThumbBit) != 0) != loop.region.thumb) {
        return;  // the words are running as the other instruction set
    }
    const CpuReg counterReg = cpuReg(loop.region.counter);
    const uint32_t counter = cpu.reg(counterReg);
    if (counter == 0 || counter % loop.region.step != 0) {
        return;
    }
    // The last turn runs, and leaves.
    const uint64_t turns =
        turnsBefore(bounds, count, clock, turnLength, turnCycles, counter / loop.region.step - 1);
    if (turns == 0) {
        return;
    }
    cpu.setReg(counterReg, counter - uint32_t(turns) * loop.region.step);
    countTurns(turns, turnLength, turnCycles, count, clock, skipped_);
    loop.visitCount = count;
    loop.visitCycles = clock.cycles();
}

}  // namespace boardsim
