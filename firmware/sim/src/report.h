// `boardsim --report`: figures of an image measured by running it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "elf_image.h"

namespace boardsim {

struct ImageUse {
    uint32_t flashBytes = 0;  // bytes programmed into flash
    uint32_t ramData = 0;     // initialised data copied to RAM
    uint32_t ramZeroed = 0;   // .bss
    uint32_t ramOther = 0;    // other RAM sections, e.g. stack reserve
    uint32_t ramTotal() const { return ramData + ramZeroed + ramOther; }
};

ImageUse imageUse(const ElfImage& image);

// Runs the image from reset through `periods` heartbeats (at most `limit`
// instructions) and prints the figures. Returns what could not be measured
// (a fault, a run too short for a figure), one sentence each.
std::vector<std::string> printReport(const ElfImage& image, std::ostream& out, uint64_t limit,
                                     uint64_t periods);

}  // namespace boardsim
