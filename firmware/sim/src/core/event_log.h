// A history of a run's events, for a front end or a test that reads back
// what happened (the report's figures, a test's checks). It keeps only the
// kinds it is asked to keep and at most `capacity` of them, dropping the
// oldest, so that a run of any length holds bounded memory.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/engine.h"

namespace boardsim {

class EventLog {
public:
    static constexpr size_t kUnbounded = SIZE_MAX;
    using Filter = std::function<bool(const Event&)>;

    explicit EventLog(Engine& engine, size_t capacity = kUnbounded, Filter keep = {});
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    const std::vector<Event>& events() const { return events_; }
    // Events no longer kept, the oldest first gone.
    size_t dropped() const { return dropped_; }
    // The bytes of the UartByte events kept, in order.
    std::string uartText() const;
    void clear() { events_.clear(); }

private:
    Engine& engine_;
    size_t capacity_;
    Filter keep_;
    size_t subscription_;
    std::vector<Event> events_;
    size_t dropped_ = 0;
};

}  // namespace boardsim
