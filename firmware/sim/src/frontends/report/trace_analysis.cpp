#include "frontends/report/trace_analysis.h"

namespace boardsim {

std::vector<CallSpan> callsOf(const std::vector<Event>& events, uint32_t address)
{
    std::vector<CallSpan> calls;
    std::vector<size_t> open;
    for (const Event& e : events) {
        if (e.address != address) {
            continue;
        }
        if (e.kind == EventKind::Call) {
            open.push_back(calls.size());
            calls.push_back({e.stamp, std::nullopt, e.value, e.time, 0});
        } else if (e.kind == EventKind::Return && !open.empty()) {
            calls[open.back()].returned = e.stamp;
            calls[open.back()].returnedAt = e.time;
            open.pop_back();
        }
    }
    return calls;
}

std::vector<LedPhase> ledPhases(const std::vector<Event>& events)
{
    std::vector<LedPhase> phases;
    std::optional<Event> previous;
    for (const Event& e : events) {
        if (e.kind != EventKind::Led) {
            continue;
        }
        if (previous && previous->address == 1 && e.address == 1) {
            phases.push_back({previous->stamp, e.stamp, previous->value == 1});
        }
        previous = e;
    }
    return phases;
}

std::optional<HeartbeatPeriod> HeartbeatTracker::feed(const Event& e)
{
    if (e.kind == EventKind::Call || e.kind == EventKind::Return) {
        if (e.address == delayMs_ && phase_ == Phase::Low) {
            if (e.kind == EventKind::Call) {
                delayEntered_ = true;
            } else if (delayEntered_) {
                delayDone_ = true;
            }
        }
        return std::nullopt;
    }
    if (e.kind != EventKind::Led) {
        return std::nullopt;
    }
    if (e.address == 0) {  // not an output: no phase at all
        phase_ = Phase::Unknown;
        beating_ = false;
        return std::nullopt;
    }
    std::optional<HeartbeatPeriod> done;
    if (e.value == 0 && phase_ != Phase::Low) {
        if (phase_ == Phase::High && beating_) {
            done = HeartbeatPeriod{lowStart_, highStart_, e.stamp, lowStartTime_, e.time};
        }
        phase_ = Phase::Low;
        lowStart_ = e.stamp;
        lowStartTime_ = e.time;
        delayEntered_ = false;
        delayDone_ = false;
    } else if (e.value != 0 && phase_ != Phase::High) {
        beating_ = phase_ == Phase::Low && delayDone_;
        phase_ = Phase::High;
        highStart_ = e.stamp;
    }
    return done;
}

std::vector<HeartbeatPeriod> heartbeatPeriods(const std::vector<Event>& events, uint32_t delayMsAddress)
{
    HeartbeatTracker tracker(delayMsAddress);
    std::vector<HeartbeatPeriod> periods;
    for (const Event& e : events) {
        if (auto period = tracker.feed(e)) {
            periods.push_back(*period);
        }
    }
    return periods;
}

std::optional<uint64_t> uartTextEnd(const std::vector<Event>& events, const std::string& text)
{
    std::string output;
    for (const Event& e : events) {
        if (e.kind != EventKind::UartByte) {
            continue;
        }
        output += char(e.value);
        if (!text.empty() && output.size() >= text.size() &&
            output.compare(output.size() - text.size(), text.size(), text) == 0) {
            return e.stamp;
        }
    }
    return std::nullopt;
}

}  // namespace boardsim
