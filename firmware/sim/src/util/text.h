// Small text helpers shared by every layer: addresses and words in hex,
// bytes shown as a C string literal would show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace boardsim {

// "0x0000004c": eight digits, as addresses and words are shown everywhere.
std::string hex(uint32_t value);

// "44.2368 MHz": a clock in megahertz to four decimals, as the data
// sheet's limits are checked.
std::string mhz(double hz);

// `text` in double quotes, with \n, \r, \", \\ and \xNN for other bytes
// outside printable ASCII.
std::string quoted(const std::string& text);

// Printable ASCII kept, every other byte as \xNN (no quotes added).
std::string printable(const std::string& text);

// Text for a terminal from names it does not control (files, scenarios):
// line feeds, tabs, printable ASCII and well-formed UTF-8 kept; control
// characters (an escape sequence would reach the terminal), C1 controls
// and bytes that are not UTF-8 as \xNN.
std::string terminalSafe(const std::string& text);

}  // namespace boardsim
