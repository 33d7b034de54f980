// A board that keeps every event of its run, for tests that read a short
// run back; by default with the options a front end would read from the
// image's profile.
#pragma once

#include <string>
#include <vector>

#include "core/event_log.h"
#include "frontends/common/firmware_profile.h"
#include "machine/board.h"

namespace boardsim::testing {

class TestBoard : public Board {
public:
    explicit TestBoard(const ElfImage& image) : TestBoard(image, boardOptionsFor(image)) {}
    TestBoard(const ElfImage& image, const BoardOptions& options) : Board(image, options), log_(*this) {}

    const std::vector<Event>& events() const { return log_.events(); }
    std::string uartOutput() const { return log_.uartText(); }

private:
    EventLog log_;
};

// The events of one kind.
std::vector<Event> only(const std::vector<Event>& events, EventKind kind);

}  // namespace boardsim::testing
