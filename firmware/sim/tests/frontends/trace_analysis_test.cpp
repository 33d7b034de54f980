// Reading a run's events: calls, the UART text, and what counts as a beat of
// the status LED.
#include <gtest/gtest.h>

#include "frontends/report/trace_analysis.h"

using namespace boardsim;

namespace {

constexpr uint32_t kDelay = 0x100;

Event led(uint64_t at, bool high) { return {at, 0, EventKind::Led, 0, 1, high ? 1u : 0u}; }
Event call(uint64_t at, uint32_t fn, uint32_t r0 = 0) { return {at, 0, EventKind::Call, fn, fn, r0}; }
Event ret(uint64_t at, uint32_t fn) { return {at, 0, EventKind::Return, 0, fn, 0}; }
Event byte(uint64_t at, char c) { return {at, 0, EventKind::UartByte, 0, 0, uint8_t(c)}; }

}  // namespace

TEST(Heartbeat, ABeatIsALowPhaseWithAWholeDelayAndTheHighPhaseAfterIt)
{
    const std::vector<Event> events = {
        led(10, false), led(11, true),                    // start-up blip: no delay in it
        led(100, false), call(101, kDelay), ret(300, kDelay),
        led(301, true), call(302, kDelay), ret(500, kDelay),
        led(520, false),                                   // first beat ends here
        call(521, kDelay), ret(700, kDelay), led(701, true),
        led(900, false),                                   // second beat
    };
    const auto beats = heartbeatPeriods(events, kDelay);
    ASSERT_EQ(beats.size(), 2u);
    EXPECT_EQ(beats[0].lowStart, 100u);
    EXPECT_EQ(beats[0].low(), 201u);
    EXPECT_EQ(beats[0].high(), 219u);
    EXPECT_EQ(beats[1].length(), 380u);
}

TEST(Heartbeat, ADelayCutByAnEdgeOrAnLedThatStopsBeingAnOutputIsNoBeat)
{
    const std::vector<Event> events = {
        call(5, kDelay), led(10, false), ret(50, kDelay), led(60, true),  // delay began before the low phase
        led(100, false), call(101, kDelay), ret(200, kDelay), led(201, true),
        {250, 0, EventKind::Led, 0, 0, 1},                                   // P0.31 made an input
        led(300, false), led(400, true), led(500, false),
    };
    EXPECT_TRUE(heartbeatPeriods(events, kDelay).empty());
    EXPECT_TRUE(heartbeatPeriods(events, 0x200).empty());  // another function's calls do not count
}

TEST(CallsOf, PairsNestedCallsWithTheirReturnsAndKeepsOpenOnes)
{
    const std::vector<Event> events = {call(1, 0x10, 7), call(2, 0x10, 8), ret(5, 0x10), ret(9, 0x10),
                                       call(20, 0x20), call(30, 0x10, 9)};
    const auto calls = callsOf(events, 0x10);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].argument, 7u);
    EXPECT_EQ(*calls[0].length(), 8u);
    EXPECT_EQ(*calls[1].length(), 3u);
    EXPECT_FALSE(calls[2].length());
}

TEST(UartText, TheStampIsTheByteThatCompletesTheText)
{
    const std::vector<Event> events = {byte(1, 'a'), byte(2, 'b'), byte(3, 'a'), byte(4, 'b'), byte(5, 'c')};
    EXPECT_EQ(uartTextEnd(events, "abc"), 5u);
    EXPECT_EQ(uartTextEnd(events, "ab"), 2u);
    EXPECT_FALSE(uartTextEnd(events, "abd"));
    EXPECT_FALSE(uartTextEnd(events, ""));
}
