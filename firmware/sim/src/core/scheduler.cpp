#include "core/scheduler.h"

namespace boardsim {

void Scheduler::atCount(uint64_t instructions, Action action)
{
    byCount_.push(instructions, std::move(action));
    nextCount_ = byCount_.first();
}

void Scheduler::atTime(double seconds, Action action)
{
    byTime_.push(seconds, std::move(action));
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
    nextCycle_ = byTime_.empty() ? UINT64_MAX : clock_.cycleOf(byTime_.first());
}

void Scheduler::runDue(uint64_t instructions)
{
    while (!byCount_.empty() && byCount_.first() <= instructions) {
        Action action = byCount_.pop();
        ++actionsRun_;
        action();
    }
    nextCount_ = byCount_.empty() ? UINT64_MAX : byCount_.first();
    while (!byTime_.empty() && clock_.cycles() >= nextCycle_) {
        Action action = byTime_.pop();
        replan();
        ++actionsRun_;
        action();
    }
}

}  // namespace boardsim
