// Port 0's pins by name, for people reading what the pins carried (a pin
// trace): the functions the pin connect block offers on each (PINSEL0 for
// P0.0..15, PINSEL1 for P0.16..31, values 00..11, from the LPC2294 user
// manual) and what this board wires to it (lpc2294.h).
#pragma once

#include <array>

namespace boardsim {

struct PinNames {
    // By PINSEL value; nullptr where the value is reserved.
    std::array<const char*, 4> functions;
    // What the board wires to the pin; nullptr for a free pin.
    const char* board;
};

// Throws std::out_of_range for a pin beyond P0.31.
const PinNames& port0PinNames(unsigned pin);

}  // namespace boardsim
