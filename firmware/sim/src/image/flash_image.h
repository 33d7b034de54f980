// What a flash programmer would leave in the LPC2294's flash for an image,
// and the boot loader's test of it.
#pragma once

#include <cstdint>
#include <vector>

#include "image/elf_image.h"

namespace boardsim {

// The whole flash: the image's load chunks over erased cells. Throws
// BoardError when a chunk lies outside the flash.
std::vector<uint8_t> flashContents(const ElfImage& image, uint32_t flashSize, uint8_t erased);

// Sum of the eight exception-vector words at 0x00..0x1C.
uint32_t vectorSum(const std::vector<uint8_t>& flash);

// The boot loader starts user code only when that sum is 0; a real chip
// would stay in the boot loader. Throws BoardError otherwise.
void requireValidUserCode(const std::vector<uint8_t>& flash);

}  // namespace boardsim
