// What each of port 0's pins did over a run, told in a few lines at its end
// instead of a line per edge: how many edges, from when to when, how long
// the pin was high, and the period of a pin whose rising edges mostly come
// at one pace (the LED's heartbeat, SPI's clock within a byte). Every edge
// of the pins a person asks for can be printed as it comes as well.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "machine/board.h"

namespace boardsim {

class PinActivity {
public:
    // `edge` hears each change of the pins in `printed` (a mask) with the
    // board's instruction count and time then.
    using EdgePrinter = std::function<void(uint64_t stamp, double time, unsigned pin, bool level)>;

    explicit PinActivity(uint32_t printed = 0, EdgePrinter edge = nullptr);
    ~PinActivity();
    PinActivity(const PinActivity&) = delete;
    PinActivity& operator=(const PinActivity&) = delete;

    // Listens to every pin of `board` from its present moment on.
    void attach(Board& board);

    // A line for each pin that changed up to `end` (simulated seconds), in
    // pin order: "P0.31 (LED): 110 edges from 437.7us to 999.3ms, high 50.0 %
    // of the time, rising every 18.12ms (55.2 Hz)". None when nothing changed.
    std::vector<std::string> summary(double end) const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace boardsim
