// Several observers of one run, each added and removed on its own, even
// from inside a delivery.
#include <gtest/gtest.h>

#include "core/event_bus.h"

using namespace boardsim;

TEST(EventBus, EveryObserverHearsEachEventAndMayLeaveOrAddAnotherWhileHearing)
{
    EventBus bus;
    std::vector<std::string> heard;
    size_t second = 0;
    const size_t first = bus.subscribe([&](const Event& e) {
        heard.push_back("first " + std::to_string(e.value));
        if (e.value == 2) {
            bus.unsubscribe(second);
            bus.subscribe([&](const Event& e2) { heard.push_back("late " + std::to_string(e2.value)); });
        }
    });
    second = bus.subscribe([&](const Event& e) { heard.push_back("second " + std::to_string(e.value)); });
    for (uint32_t v = 1; v <= 3; ++v) {
        Event e;
        e.value = v;
        bus.publish(e);
    }
    bus.unsubscribe(first);
    Event last;
    last.value = 4;
    bus.publish(last);
    const std::vector<std::string> expected = {"first 1", "second 1", "first 2", "first 3", "late 3", "late 4"};
    EXPECT_EQ(heard, expected);
}
