// Every peripheral block of the LPC2294, as the user manual lists them,
// whether the machine places a model of it or not: a block with a model
// takes its registers' names from the model's definitions; the others list
// them here. An access to a block the machine does not place is then a
// fault that names the register and says the block is not modelled,
// rather than an abort as if the chip had nothing there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "peripherals/peripheral.h"

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
    // The model of the block, where there is one: it names the registers.
    std::unique_ptr<Peripheral> (*model)();
    // The registers' names of a block without a model.
    std::vector<ChipRegister> registers;
};

const std::vector<ChipBlock>& lpc2294Blocks();

// The source of VIC channel `channel` (0..31), as the user manual names it.
const char* vicChannelName(unsigned channel);

}  // namespace boardsim
