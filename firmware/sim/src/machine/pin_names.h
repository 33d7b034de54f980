// Port 0's pins by name, for people naming pins and reading what they
// carried: the functions the pin connect block offers on each (PINSEL0 for
// P0.0..15, PINSEL1 for P0.16..31, values 00..11, from the LPC2294 user
// manual), what this board wires to it (lpc2294.h), and the short name the
// board's signal goes by ("LED", "KEY_1", "LCD_SCLK", "TXD0", ...), which
// every option, scenario and trace takes besides P0.n and P0_n.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace boardsim {

struct PinNames {
    // By PINSEL value; nullptr where the value is reserved.
    std::array<const char*, 4> functions;
    // What the board wires to the pin; nullptr for a free pin.
    const char* board;
    // The board's name for the signal; nullptr for a free pin.
    const char* signal;
    // The second device's name for it on a bus pin two devices share
    // (SPI0's clock is LCD_SCLK and DAC_SCLK); nullptr for most pins.
    const char* sharedSignal;
};

// Throws std::out_of_range for a pin beyond P0.31.
const PinNames& port0PinNames(unsigned pin);

// The pin's number for "P0.31", "P0_31" or a board name (any case), or
// nothing for a name the board does not have.
std::optional<unsigned> pinByName(const std::string& name);

// "P0.31 (LED)", "P0.5".
std::string describePin(unsigned pin);

// The board's names pinByName takes besides P0.n, for messages.
std::string boardPinNames();

}  // namespace boardsim
