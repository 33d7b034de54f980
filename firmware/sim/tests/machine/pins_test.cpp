// Port 0's pins as levels in time: each pin's level from its function, the
// GPIO registers, a peripheral's output and the board; listeners hear every
// change in time order, handed-over waveforms among the other changes.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "machine/lpc2294.h"
#include "machine/pin_names.h"
#include "machine/pins.h"
#include "support/fake_services.h"

using namespace boardsim;
using boardsim::testing::ModelUnderTest;

namespace {

constexpr uint32_t PINSEL0 = 0x00, IODIR = 0x08, IOCLR = 0x0C;

struct PinLayer : ::testing::Test {
    PinLayer()
    {
        pins.listen(0xFFFFFFFF, [this](unsigned pin, bool level, double time) {
            heard.push_back("P0." + std::to_string(pin) + (level ? " high" : " low") + " at " + at(time));
        });
    }
    static std::string at(double time) { return std::to_string(int(time * 1e6 + 0.5)) + "us"; }

    // A register write at `time`, as the machine passes it on.
    void gpio(uint32_t offset, uint32_t value, double time)
    {
        now = time;
        port.write(offset, value);
        pins.update();
    }
    void pinsel0(uint32_t value, double time)
    {
        now = time;
        select.write(PINSEL0, value);
        pins.update();
    }

    double now = 0;
    ModelUnderTest<PinSelect> select;
    ModelUnderTest<Gpio> port;
    Pins pins{select.model, port.model, [this] { return now; }};
    std::vector<std::string> heard;
};

}  // namespace

TEST_F(PinLayer, ALevelFollowsTheFunctionThenGpioOrThePeripheralOrTheBoard)
{
    EXPECT_EQ(pins.levels(), 0xFFFFFFFFu);  // inputs, pulled up
    gpio(IOCLR, 1u << 4, 0);
    gpio(IODIR, 1u << 4, 1e-6);  // GPIO output, latch low
    EXPECT_EQ(pins.levels() >> 4 & 1u, 0u);
    pinsel0(1u << 8, 2e-6);  // P0.4 to function 1: nobody drives it, so the pull-up
    EXPECT_EQ(pins.levels() >> 4 & 1u, 1u);
    now = 3e-6;
    pins.drive(4, 1, true, false);  // function 1's peripheral drives it low
    EXPECT_EQ(pins.levels() >> 4 & 1u, 0u);
    pins.drive(4, 2, true, true);  // another function's output does not reach it
    EXPECT_EQ(pins.levels() >> 4 & 1u, 0u);
    now = 4e-6;
    pins.setOutside(~(1u << 5));  // the board grounds P0.5, an input
    EXPECT_EQ(pins.levels(), ~((1u << 4) | (1u << 5)));
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.4 low at 1us", "P0.4 high at 2us", "P0.4 low at 3us",
                                               "P0.5 low at 4us"}));
}

TEST_F(PinLayer, HandedOverEdgesAreDeliveredInTimeOrderAmongOtherChanges)
{
    pinsel0(1u << 8, 0);
    now = 1e-6;
    pins.drive(4, 1, true, false);
    heard.clear();
    for (int n = 0; n < 4; ++n) {
        pins.driveAt(4, 1, (10 + 10 * n) * 1e-6, n % 2 == 0);
    }
    EXPECT_EQ(pins.pending(), 4u);
    EXPECT_TRUE(heard.empty()) << "an edge was delivered before its time";
    // A GPIO write at 25 us: the edges at 10 and 20 us come first, those at
    // 30 and 40 us after it.
    gpio(IOCLR, 1u << 21, 25e-6);
    gpio(IODIR, 1u << 21, 25e-6);
    EXPECT_EQ(pins.pending(), 2u);
    pins.settle(50e-6);
    EXPECT_EQ(pins.pending(), 0u);
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.4 high at 10us", "P0.4 low at 20us", "P0.21 low at 25us",
                                               "P0.4 high at 30us", "P0.4 low at 40us"}));
}

// Edges handed over out of time order (a host's long write on RxD queued
// far ahead, the code's own edges before its end) come out in time order,
// those of one moment in the order they were handed over.
TEST_F(PinLayer, EdgesHandedOverOutOfOrderComeOutInTimeOrder)
{
    pinsel0(1u << 8, 0);
    pins.drive(4, 1, true, true);
    heard.clear();
    pins.setOutsideAt(5, 50e-6, false);
    pins.setOutsideAt(5, 60e-6, true);
    pins.driveAt(4, 1, 20e-6, false);
    pins.driveAt(4, 1, 55e-6, true);
    pins.driveAt(4, 1, 30e-6, true);
    pins.driveAt(4, 1, 30e-6, false);  // the same moment: in the order handed over
    EXPECT_EQ(pins.nextPending(), 20e-6);  // what IO0PIN's wait loops are bounded by
    pins.settle(40e-6);
    EXPECT_EQ(pins.nextPending(), 50e-6);
    pins.settle(100e-6);
    EXPECT_EQ(pins.nextPending(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.4 low at 20us", "P0.4 high at 30us", "P0.4 low at 30us",
                                               "P0.5 low at 50us", "P0.4 high at 55us", "P0.5 high at 60us"}));
}

// A register write takes effect at its moment: edges that were due before
// it are delivered with the registers as they were.
TEST_F(PinLayer, EdgesDueBeforeAWriteSeeThePinsFunctionAsItWasThen)
{
    pinsel0(1u << 8, 0);
    now = 1e-6;
    pins.drive(4, 1, true, true);
    pins.driveAt(4, 1, 10e-6, false);
    pins.driveAt(4, 1, 30e-6, true);
    heard.clear();
    pinsel0(0, 20e-6);  // P0.4 back to GPIO, an input: the pull-up from here
    pins.settle(40e-6);
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.4 low at 10us", "P0.4 high at 20us"}));
}

TEST_F(PinLayer, CancelledEdgesNeverHappenAndWatchedInputsFollowLevelAndConnection)
{
    std::vector<std::string> seen;
    pins.watchInput(7, 1, true, [&](bool level, double time) {
        seen.push_back(std::string(level ? "high" : "low") + " at " + at(time));
    });
    now = 1e-6;
    pins.setOutside(~(1u << 7));  // P0.7 pulled low, but still a GPIO: the input stays idle
    EXPECT_TRUE(pins.input(7, 1, true));
    pinsel0(1u << 14, 2e-6);  // connected now: it reads the low
    EXPECT_FALSE(pins.input(7, 1, true));
    now = 3e-6;
    pins.setOutside(0xFFFFFFFF);
    EXPECT_EQ(seen, (std::vector<std::string>{"low at 2us", "high at 3us"}));

    pinsel0((1u << 14) | (1u << 8), 4e-6);
    pins.drive(4, 1, true, false);
    pins.driveAt(4, 1, 10e-6, true);
    pins.driveAt(4, 1, 20e-6, false);
    pins.cancelAfter(4, 1, 15e-6);
    heard.clear();
    pins.settle(30e-6);
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.4 high at 10us"}));
}

// What a listener does about a change (a peripheral dropping the rest of
// its waveform) takes effect before the next edge is delivered.
TEST_F(PinLayer, AListenerThatCancelsTheRestOfAWaveformStopsItAtOnce)
{
    pinsel0(1u << 8, 0);
    pins.drive(4, 1, true, false);
    pins.listen(1u << 4, [this](unsigned, bool level, double time) {
        if (level) {
            pins.cancelAfter(4, 1, time);
            pins.drive(4, 1, false, false);  // let go: the pull-up takes over
        }
    });
    heard.clear();
    for (int n = 0; n < 6; ++n) {
        pins.driveAt(4, 1, (10 + 10 * n) * 1e-6, n % 2 == 0);
    }
    pins.settle(100e-6);
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.4 high at 10us"}));
    EXPECT_EQ(pins.pending(), 0u);
}

// A line from outside whose waveform is known ahead (a host's frame on
// RxD0) arrives at its times; a key grounding another pin meanwhile leaves
// it as it is.
TEST_F(PinLayer, WhatTheBoardPutsOnAPinAheadArrivesAtItsTimesAndAKeyLeavesItAlone)
{
    pins.setOutsideAt(1, 10e-6, false);
    pins.setOutsideAt(1, 30e-6, true);
    EXPECT_TRUE(heard.empty()) << "an edge was delivered before its time";
    now = 20e-6;
    pins.setOutsidePins(1u << 16, false);  // KEY_1 down
    EXPECT_EQ(pins.outside(), ~((1u << 1) | (1u << 16)));
    now = 40e-6;
    pins.setOutsidePins(1u << 16, true);
    EXPECT_EQ(pins.levels(), 0xFFFFFFFFu);
    EXPECT_EQ(heard, (std::vector<std::string>{"P0.1 low at 10us", "P0.16 low at 20us", "P0.1 high at 30us",
                                               "P0.16 high at 40us"}));
}

// The names people give pins (options, scenarios, the trace's board scope)
// are the machine's own wiring.
TEST(PinNames, TheBoardsNamesAreItsWiring)
{
    using boardsim::Lpc2294Machine;
    using boardsim::pinByName;
    EXPECT_EQ(pinByName("LED"), Lpc2294Machine::kLedPin);
    EXPECT_EQ(pinByName("led"), Lpc2294Machine::kLedPin);
    for (unsigned key = 0; key < 4; ++key) {
        EXPECT_EQ(pinByName("KEY_" + std::to_string(key + 1)), Lpc2294Machine::kFirstKeyPin + key);
    }
    EXPECT_EQ(pinByName("LCD_SCLK"), Lpc2294Machine::kLcdSclkPin);
    EXPECT_EQ(pinByName("LCD_SDIN"), Lpc2294Machine::kLcdSdinPin);
    EXPECT_EQ(pinByName("LCD_DC"), Lpc2294Machine::kLcdDcPin);
    EXPECT_EQ(pinByName("LCD_SCE"), Lpc2294Machine::kLcdScePin);
    EXPECT_EQ(pinByName("LCD_RES"), Lpc2294Machine::kLcdResPin);
    EXPECT_EQ(pinByName("P0.7"), 7u);
    EXPECT_EQ(pinByName("P0_31"), 31u);
    for (const char* bad : {"P0.32", "P0.07", "P1.0", "LED1", "", "P0."}) {
        EXPECT_FALSE(pinByName(bad)) << bad;
    }
    EXPECT_EQ(boardsim::describePin(31), "P0.31 (LED)");
    EXPECT_EQ(boardsim::describePin(5), "P0.5");
}
