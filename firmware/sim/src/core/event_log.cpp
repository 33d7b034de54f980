#include "core/event_log.h"

namespace boardsim {

EventLog::EventLog(Engine& engine, size_t capacity, Filter keep)
    : engine_(engine), capacity_(capacity == 0 ? 1 : capacity), keep_(std::move(keep))
{
    subscription_ = engine_.subscribe([this](const Event& e) {
        if (keep_ && !keep_(e)) {
            return;
        }
        if (events_.size() >= capacity_) {
            // Half at a time, so that keeping stays cheap per event.
            const size_t drop = std::max<size_t>(1, events_.size() / 2);
            events_.erase(events_.begin(), events_.begin() + std::ptrdiff_t(drop));
            dropped_ += drop;
        }
        events_.push_back(e);
    });
}

EventLog::~EventLog()
{
    engine_.unsubscribe(subscription_);
}

std::string EventLog::uartText() const
{
    std::string text;
    for (const Event& e : events_) {
        if (e.kind == EventKind::UartByte) {
            text += char(e.value);
        }
    }
    return text;
}

}  // namespace boardsim
