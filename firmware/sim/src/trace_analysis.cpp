#include "trace_analysis.h"

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
            calls.push_back({e.stamp, std::nullopt, e.value});
        } else if (e.kind == EventKind::Return && !open.empty()) {
            calls[open.back()].returned = e.stamp;
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
