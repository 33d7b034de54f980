// Work due at a moment of the run: after a number of executed instructions,
// or at a simulated time (kept as the cycle at which it falls, planned
// again when the clock's rate changes). The engine asks before each
// instruction whether anything is due.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "core/clock.h"
#include "util/when.h"

namespace boardsim {

class Scheduler {
public:
    using Action = std::function<void()>;

    explicit Scheduler(const Clock& clock) : clock_(clock) {}

    void atCount(uint64_t instructions, Action action);
    void atTime(double seconds, Action action);
    void at(const When& when, Action action);
    // The clock's rate changed: the cycle of each timed action moves.
    void replan();

    bool due(uint64_t instructions) const
    {
        return instructions >= nextCount_ || clock_.cycles() >= nextCycle_;
    }
    // Runs what is due: first by count, then by time, each in order. An
    // action may schedule more; what falls due at once runs too.
    void runDue(uint64_t instructions);

    uint64_t nextCount() const { return nextCount_; }
    // Actions run since the start.
    uint64_t actionsRun() const { return actionsRun_; }
    uint64_t nextCycle() const { return nextCycle_; }
    // Scheduled work still waiting (for memory checks).
    size_t waiting() const { return byCount_.size() + byTime_.size(); }

private:
    const Clock& clock_;
    std::multimap<uint64_t, Action> byCount_;
    std::multimap<double, Action> byTime_;
    uint64_t nextCount_ = UINT64_MAX;
    uint64_t actionsRun_ = 0;
    uint64_t nextCycle_ = UINT64_MAX;
};

}  // namespace boardsim
