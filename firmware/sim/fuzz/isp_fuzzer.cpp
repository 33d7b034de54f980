// libFuzzer harness of the ISP boot loader: whatever a host sends, the boot
// loader answers without crashing, its answers stay in proportion to what
// came in, and the boot block is never written.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "machine/isp_boot_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    boardsim::IspBootLoader loader(std::vector<uint8_t>(256 * 1024, 0xFF));
    // Past the synchronisation and the lock, where most of the parser is.
    loader.receive("?Synchronized\r\n11059\r\nU 23130\r\n");
    size_t answered = 0;
    // Fed in pieces of varying length, as bytes arrive on a line.
    size_t at = 0;
    while (at < size) {
        const size_t piece = std::min<size_t>(size - at, 1 + data[at] % 64);
        answered += loader.receive(std::string(reinterpret_cast<const char*>(data + at), piece)).size();
        if ((data[at] & 0x80) != 0) {
            loader.lineQuiet();  // the host pauses, as a killed one would
        }
        at += piece;
    }
    // Echo aside, a line gets at most a block of 20 uploaded lines (61
    // characters each and the sum) for an answer.
    const auto lines = size_t(std::count(data, data + size, uint8_t('\n')));
    if (answered > 2 * size + 1400 * (lines + 1)) {
        std::abort();
    }
    const auto& flash = loader.flash();
    if (flash.size() != 256 * 1024 ||
        std::any_of(flash.begin() + 0x3E000, flash.end(), [](uint8_t b) { return b != 0xFF; })) {
        std::abort();
    }
    return 0;
}
