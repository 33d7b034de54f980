// Work due at a moment of the run: after a number of executed instructions,
// or at a simulated time (kept as the cycle at which it falls, planned
// again when the clock's rate changes). The engine asks before each
// instruction whether anything is due.
#pragma once

#include <cstdint>
#include <algorithm>
#include <functional>
#include <vector>

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
    // A min-heap in a vector: after the first few, adding work allocates
    // nothing. Equal moments run in the order they were scheduled.
    template <typename Key>
    class Queue {
    public:
        void push(Key key, Action action)
        {
            entries_.push_back({key, next_++, std::move(action)});
            std::push_heap(entries_.begin(), entries_.end(), later);
        }
        bool empty() const { return entries_.empty(); }
        size_t size() const { return entries_.size(); }
        Key first() const { return entries_.front().key; }
        Action pop()
        {
            std::pop_heap(entries_.begin(), entries_.end(), later);
            Action action = std::move(entries_.back().action);
            entries_.pop_back();
            return action;
        }

    private:
        struct Entry {
            Key key;
            uint64_t order;
            Action action;
        };
        static bool later(const Entry& a, const Entry& b)
        {
            return a.key != b.key ? a.key > b.key : a.order > b.order;
        }
        std::vector<Entry> entries_;
        uint64_t next_ = 0;
    };

    const Clock& clock_;
    Queue<uint64_t> byCount_;
    Queue<double> byTime_;
    uint64_t nextCount_ = UINT64_MAX;
    uint64_t actionsRun_ = 0;
    uint64_t nextCycle_ = UINT64_MAX;
};

}  // namespace boardsim
