#include "image/flash_image.h"

#include <algorithm>
#include <string>

#include "core/board_error.h"
#include "util/text.h"

namespace boardsim {
std::vector<uint8_t> flashContents(const ElfImage& image, uint32_t flashSize, uint8_t erased)
{
    std::vector<uint8_t> flash(flashSize, erased);
    for (const LoadChunk& chunk : image.loadChunks()) {
        // Flash starts at 0: only the end can be out.
        if (uint64_t(chunk.address) + chunk.bytes.size() > flashSize) {
            throw BoardError("the image puts " + std::to_string(chunk.bytes.size()) + " bytes at " +
                             hex(chunk.address) + ", outside the " + std::to_string(flashSize / 1024) +
                             " KiB flash");
        }
        std::copy(chunk.bytes.begin(), chunk.bytes.end(), flash.begin() + chunk.address);
    }
    return flash;
}

uint32_t vectorSum(const std::vector<uint8_t>& flash)
{
    uint32_t sum = 0;
    for (size_t at = 0; at + 4 <= std::min<size_t>(flash.size(), 0x20); at += 4) {
        sum += uint32_t(flash[at]) | uint32_t(flash[at + 1]) << 8 | uint32_t(flash[at + 2]) << 16 |
               uint32_t(flash[at + 3]) << 24;
    }
    return sum;
}

void requireValidUserCode(const std::vector<uint8_t>& flash)
{
    const uint32_t sum = vectorSum(flash);
    if (sum != 0) {
        throw BoardError("no valid user code: the vector words at 0x00..0x1c sum to " + hex(sum) +
                         ", not 0, so the boot loader would not start the image");
    }
}

}  // namespace boardsim
