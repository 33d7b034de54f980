// Reading a run's events: the calls of one function, and the LED's phases.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/events.h"

namespace boardsim {

struct CallSpan {
    uint64_t entered = 0;               // instructions done before its first one
    std::optional<uint64_t> returned;   // instructions done after its last one
    uint32_t argument = 0;              // r0 on entry
    double enteredAt = 0;               // simulated seconds
    double returnedAt = 0;              // valid with `returned`

    std::optional<uint64_t> length() const
    {
        return returned ? std::optional<uint64_t>(*returned - entered) : std::nullopt;
    }
};

// Calls of the function at `address`, in order. Relies on the board reporting
// returns of a function in reverse order of its calls (no recursion here).
std::vector<CallSpan> callsOf(const std::vector<Event>& events, uint32_t address);

struct LedPhase {
    uint64_t start = 0;
    uint64_t end = 0;
    bool high = false;
    uint64_t length() const { return end - start; }
};

// Complete phases of the driven LED between consecutive edges.
std::vector<LedPhase> ledPhases(const std::vector<Event>& events);

// One beat of the status LED: a low phase in which one whole DelayMs call
// ran, and the high phase after it, up to the next falling edge. The LED's
// start-up edges (an output first driven low for an instruction) are no beat.
struct HeartbeatPeriod {
    uint64_t lowStart = 0;
    uint64_t highStart = 0;
    uint64_t end = 0;
    double startTime = 0;  // simulated seconds of lowStart
    double endTime = 0;    // and of end
    uint64_t low() const { return highStart - lowStart; }
    uint64_t high() const { return end - highStart; }
    uint64_t length() const { return end - lowStart; }
};

// Follows a run's events as they come; says when one completes a period.
class HeartbeatTracker {
public:
    explicit HeartbeatTracker(uint32_t delayMsAddress) : delayMs_(delayMsAddress) {}
    std::optional<HeartbeatPeriod> feed(const Event& e);

private:
    enum class Phase { Unknown, Low, High };
    uint32_t delayMs_;
    Phase phase_ = Phase::Unknown;
    uint64_t lowStart_ = 0;
    uint64_t highStart_ = 0;
    double lowStartTime_ = 0;
    bool delayEntered_ = false;  // in the current low phase
    bool delayDone_ = false;     // a whole DelayMs in the current low phase
    bool beating_ = false;       // the current high phase follows such a low phase
};

std::vector<HeartbeatPeriod> heartbeatPeriods(const std::vector<Event>& events, uint32_t delayMsAddress);

// Stamp of the UART byte that ends the first `text` found in the output.
std::optional<uint64_t> uartTextEnd(const std::vector<Event>& events, const std::string& text);

}  // namespace boardsim
