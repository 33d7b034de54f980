#include "support/test_board.h"

namespace boardsim::testing {

std::vector<Event> only(const std::vector<Event>& events, EventKind kind)
{
    std::vector<Event> out;
    for (const Event& e : events) {
        if (e.kind == kind) {
            out.push_back(e);
        }
    }
    return out;
}

}  // namespace boardsim::testing
