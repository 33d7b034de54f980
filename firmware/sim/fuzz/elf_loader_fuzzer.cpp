// libFuzzer harness of the simulator's ELF loader: whatever bytes it is given,
// loading either succeeds or fails with an ElfError, a message for the user;
// any other exception, a crash or a sanitizer report is a finding. What a
// loaded image offers (symbols, sections, chunks) is then used the way the
// simulator uses it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "image/elf_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const boardsim::ElfImage image = boardsim::ElfImage::fromBytes(std::vector<uint8_t>(data, data + size));
        // Each chunk comes from a program header of its own, 32 bytes of the
        // file: headers read twice over would let a small file claim any
        // amount of memory.
        if (image.loadChunks().size() * 32 > size) {
            std::fputs("elf_loader_fuzzer: more load chunks than program headers fit in the file\n", stderr);
            std::abort();
        }
        for (const boardsim::Symbol& symbol : image.symbols()) {
            (void)image.describe(symbol.address);
            (void)image.find(symbol.name);
        }
        (void)image.describe(image.entry());
        (void)image.find("main");
    } catch (const boardsim::ElfError& error) {
        if (error.what()[0] == '\0') {
            std::fputs("elf_loader_fuzzer: an ElfError without a message\n", stderr);
            std::abort();
        }
    }
    return 0;
}
