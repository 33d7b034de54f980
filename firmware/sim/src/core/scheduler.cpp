#include "core/scheduler.h"

namespace boardsim {

void Scheduler::atCount(uint64_t instructions, Action action)
{
    byCount_.emplace(instructions, std::move(action));
    nextCount_ = byCount_.begin()->first;
}

void Scheduler::atTime(double seconds, Action action)
{
    byTime_.emplace(seconds, std::move(action));
    replan();
}

void Scheduler::at(const When& when, Action action)
{
    if (when.isTime) {
        atTime(when.seconds, std::move(action));
    } else {
        atCount(when.count, std::move(action));
    }
}

void Scheduler::replan()
{
    nextCycle_ = byTime_.empty() ? UINT64_MAX : clock_.cycleOf(byTime_.begin()->first);
}

void Scheduler::runDue(uint64_t instructions)
{
    while (!byCount_.empty() && byCount_.begin()->first <= instructions) {
        auto action = std::move(byCount_.begin()->second);
        byCount_.erase(byCount_.begin());
        ++actionsRun_;
        action();
    }
    nextCount_ = byCount_.empty() ? UINT64_MAX : byCount_.begin()->first;
    while (!byTime_.empty() && clock_.cycles() >= nextCycle_) {
        auto action = std::move(byTime_.begin()->second);
        byTime_.erase(byTime_.begin());
        replan();
        ++actionsRun_;
        action();
    }
}

}  // namespace boardsim
