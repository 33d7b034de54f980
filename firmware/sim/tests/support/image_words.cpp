#include "support/image_words.h"

#include <algorithm>
#include <iterator>

#include "image/elf_image.h"
#include "machine/tlv5618.h"

namespace boardsim::testing {

std::vector<uint16_t> imageHalfwords(const std::string& elf, const std::string& symbol)
{
    const ElfImage image = ElfImage::fromFile(elf);
    const auto found = image.find(symbol);
    if (!found) {
        return {};
    }
    for (const LoadChunk& chunk : image.loadChunks()) {
        const uint32_t offset = found->address - chunk.address;
        if (found->address >= chunk.address && offset + found->size <= chunk.bytes.size()) {
            std::vector<uint16_t> words;
            for (uint32_t i = 0; i + 1 < found->size; i += 2) {
                words.push_back(uint16_t(chunk.bytes[offset + i] | chunk.bytes[offset + i + 1] << 8));
            }
            return words;
        }
    }
    return {};
}

std::vector<double> dacVolts(const std::vector<uint16_t>& words)
{
    std::vector<double> volts;
    std::transform(words.begin(), words.end(), std::back_inserter(volts),
                   [](uint16_t w) { return Tlv5618::voltsOf(w); });
    return volts;
}

}  // namespace boardsim::testing
