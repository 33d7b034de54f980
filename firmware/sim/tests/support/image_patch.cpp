#include "support/image_patch.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "image/elf_image.h"

namespace boardsim::testing {

void patchWords(const std::string& from, const std::string& to, uint32_t address, const std::vector<uint32_t>& words)
{
    std::ifstream in(from, std::ios::binary);
    std::vector<uint8_t> elf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf32_Ehdr header;
    std::memcpy(&header, elf.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf32_Phdr ph;
        std::memcpy(&ph, elf.data() + header.e_phoff + i * header.e_phentsize, sizeof ph);
        if (ph.p_type == PT_LOAD && address >= ph.p_paddr && address + 4 * words.size() <= ph.p_paddr + ph.p_filesz) {
            std::memcpy(elf.data() + ph.p_offset + (address - ph.p_paddr), words.data(), 4 * words.size());
            std::ofstream(to, std::ios::binary).write(reinterpret_cast<const char*>(elf.data()),
                                                      std::streamsize(elf.size()));
            return;
        }
    }
    throw std::runtime_error("address not in a loaded segment");
}

void patchText(const std::string& from, const std::string& to, const std::string& text,
               const std::string& replacement)
{
    if (text.size() != replacement.size()) {
        throw std::invalid_argument("patchText: the replacement must be as long as the text");
    }
    std::ifstream in(from, std::ios::binary);
    std::string elf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = elf.find(text);
    if (at == std::string::npos) {
        throw std::runtime_error("patchText: " + from + " does not hold the text");
    }
    elf.replace(at, text.size(), replacement);
    std::ofstream(to, std::ios::binary).write(elf.data(), std::streamsize(elf.size()));
}

bool patchCallToNop(const std::string& from, const std::string& to, const std::string& caller,
                    const std::string& callee)
{
    const ElfImage image = ElfImage::fromFile(from);
    const auto function = image.find(caller);
    const auto target = image.find(callee);
    if (!function || !target) {
        return false;
    }
    std::ifstream in(from, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf32_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf32_Phdr ph;
        std::memcpy(&ph, bytes.data() + header.e_phoff + i * header.e_phentsize, sizeof ph);
        if (ph.p_type != PT_LOAD || function->address < ph.p_paddr ||
            function->address + function->size > ph.p_paddr + ph.p_filesz) {
            continue;
        }
        for (uint32_t a = function->address; a < function->address + function->size; a += 4) {
            uint32_t word = 0;
            uint8_t* at = bytes.data() + ph.p_offset + (a - ph.p_paddr);
            std::memcpy(&word, at, 4);
            const auto offset = int32_t(word << 8) >> 6;
            if ((word & 0x0F000000) == 0x0B000000 && a + 8 + uint32_t(offset) == target->address) {
                const uint32_t nop = 0xE1A00000;  // mov r0, r0
                std::memcpy(at, &nop, 4);
                std::ofstream(to, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
                return true;
            }
        }
    }
    return false;
}

}  // namespace boardsim::testing
