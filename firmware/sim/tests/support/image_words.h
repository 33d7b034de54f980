// What an image holds in flash under a symbol, read back from its ELF file
// as the board would read it: the tables a test plays compares against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim::testing {

// The little-endian halfwords of data symbol `symbol` in the ELF file
// `elf`; empty when the image has no such symbol in a loaded segment.
std::vector<uint16_t> imageHalfwords(const std::string& elf, const std::string& symbol);

// A TLV5618 word's output voltage: its 12-bit code x 2 x 1.49 V / 4096.
std::vector<double> dacVolts(const std::vector<uint16_t>& words);

}  // namespace boardsim::testing
