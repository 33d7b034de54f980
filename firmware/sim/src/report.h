// `boardsim --report`: figures of an image measured by running it.
#pragma once

#include <cstdint>
#include <ostream>

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

// Runs the image from reset through a few heartbeats (at most `limit`
// instructions) and prints the figures; returns false when the run faulted
// or a figure could not be measured.
bool printReport(const ElfImage& image, std::ostream& out, uint64_t limit);

}  // namespace boardsim
