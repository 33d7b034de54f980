// Reading a run's events: the calls of one function, and the LED's phases.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "events.h"

namespace boardsim {

struct CallSpan {
    uint64_t entered = 0;               // instructions done before its first one
    std::optional<uint64_t> returned;   // instructions done after its last one
    uint32_t argument = 0;              // r0 on entry

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

// Stamp of the UART byte that ends the first `text` found in the output.
std::optional<uint64_t> uartTextEnd(const std::vector<Event>& events, const std::string& text);

}  // namespace boardsim
