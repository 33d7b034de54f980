// Port 0's pins as a scenario names them: "P0.31" or "P0_31", or by what
// the board wires to them ("LED", "KEY_1", "LCD_SCLK", "TXD0", ...).
#pragma once

#include <optional>
#include <string>

namespace boardsim {

// The pin's number, or nothing for a name the board does not have.
std::optional<unsigned> pinByName(const std::string& name);

// "P0.31 (LED)", "P0.5".
std::string describePin(unsigned pin);

// The names pinByName takes besides P0.n, for messages.
std::string boardPinNames();

}  // namespace boardsim
