// The A/D converter: ten bits by successive approximation from AIN0..7,
// against VREF = 3.3 V, clocked at pclk / (CLKDIV + 1) (at most 4.5 MHz),
// 11 clocks for a 10-bit result down to 4 for 3 bits (CLKS). A conversion
// starts when ADCR's START is written as 001 ("start now"); BURST converts
// the selected channels in turn, lowest first, for as long as it is set.
// ADDR holds the last result with its channel; DONE (and with it the
// interrupt request) is set when a conversion ends and cleared by reading
// ADDR or writing ADCR; OVERRUN tells that a result was overwritten
// before it was read. The starts on a pin's or a match output's edge are
// refused by name. Results are worked out when they are read; only the
// moment DONE rises is scheduled.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "peripherals/peripheral.h"

namespace boardsim {

namespace adc {
// ADCR
constexpr Field kSelect{"SEL", 0, 8};
constexpr Field kClockDivider{"CLKDIV", 8, 8};
constexpr Field kBurst{"BURST", 16, 1};
constexpr Field kClocks{"CLKS", 17, 3};
constexpr Field kOperational{"PDN", 21, 1};
constexpr Field kTest{"TEST1:0", 22, 2};
constexpr Field kStart{"START", 24, 3};
constexpr Field kEdge{"EDGE", 27, 1};
// ADDR
constexpr Field kResult{"V/3.3", 6, 10};
constexpr Field kChannel{"CHN", 24, 3};
constexpr Field kOverrun{"OVERRUN", 30, 1};
constexpr Field kDone{"DONE", 31, 1};

constexpr unsigned kChannels = 8;
constexpr double kReferenceVolts = 3.3;
constexpr double kMaxClockHz = 4.5e6;
constexpr unsigned kStartNow = 1;
}  // namespace adc

class Adc final : public Peripheral {
public:
    Adc();

    // The voltage on AIN`channel` now, or nothing when the converter is cut
    // off from the pin (a digital function selected on it). Unset: 0 V on
    // every input.
    std::function<std::optional<double>(unsigned channel)> input;
    // An input is about to change: conversions up to now take the old one.
    void inputsChanging() { catchUp(); }
    void pclkChanged() override;

protected:
    void resetState() override;

private:
    void configured();
    void startConversions(uint32_t channels, bool burst);
    // Conversions that have ended by now go into ADDR.
    void catchUp();
    void planDone();
    uint32_t readResult();
    uint32_t convert(unsigned channel);
    void checkClock(double adcHz);

    Register& adcr_;
    Register& addr_;
    bool running_ = false;
    std::array<uint8_t, adc::kChannels> sequence_{};  // the channels converted in turn
    unsigned sequenceLength_ = 0;
    double start_ = 0;        // when conversion 0 of the run began
    double period_ = 0;       // seconds a conversion takes
    uint64_t limit_ = 0;      // conversions the run makes (a burst: no end)
    uint64_t done_ = 0;       // conversions of the run ended and put in ADDR
    uint32_t burstSetting_ = 0;  // what the running burst was started with
    uint64_t plan_ = 0;       // a scheduled DONE of an older plan is void
    uint32_t warnedCutOff_ = 0;  // channels already warned about
    double warnedClockHz_ = 0;
};

}  // namespace boardsim
