// Every peripheral block of the LPC2294 and the names of its registers, as
// the user manual lists them, whether the simulator models it or not. An
// access to a real register the machine does not model is then a fault
// that names the register and says the model lacks it, rather than an
// abort as if the chip had nothing there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct ChipRegister {
    uint32_t offset;
    const char* name;
};

struct ChipBlock {
    const char* name;  // "WDT"
    const char* what;  // "the watchdog"
    uint32_t base;
    uint32_t size;
    std::vector<ChipRegister> registers;
};

const std::vector<ChipBlock>& lpc2294Blocks();

// The source of VIC channel `channel` (0..31), as the user manual names it.
const char* vicChannelName(unsigned channel);

}  // namespace boardsim
