// A fault injected into a copy of the real image makes boardsim fail loudly:
// non-zero status, and a message naming the address and the instruction.
#include <gtest/gtest.h>

#include <elf.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "image/elf_image.h"

namespace {

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Overwrites the words at `address` (a load address in flash) in the file.
void patch(std::vector<uint8_t>& elf, uint32_t address, const std::vector<uint32_t>& words)
{
    Elf32_Ehdr header;
    std::memcpy(&header, elf.data(), sizeof header);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf32_Phdr ph;
        std::memcpy(&ph, elf.data() + header.e_phoff + i * header.e_phentsize, sizeof ph);
        if (ph.p_type == PT_LOAD && address >= ph.p_paddr && address + 4 * words.size() <= ph.p_paddr + ph.p_filesz) {
            std::memcpy(elf.data() + ph.p_offset + (address - ph.p_paddr), words.data(), 4 * words.size());
            return;
        }
    }
    throw std::runtime_error("address not in a loaded segment");
}

struct Outcome {
    int status = -1;
    std::string stderrText;
};

Outcome runBoardsim(const std::string& image)
{
    const std::string errors = std::string(SCRATCH_DIR) + "/fault_injection.err";
    const std::string command = std::string(BOARDSIM_EXE) + " " + image + " --run 2M --quiet 2> " + errors;
    Outcome outcome;
    const int raw = std::system(command.c_str());
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    outcome.stderrText = text.str();
    return outcome;
}

std::string injected(const std::string& name, uint32_t address, const std::vector<uint32_t>& words)
{
    std::vector<uint8_t> elf = readFile(FIRMWARE_ELF);
    patch(elf, address, words);
    const std::string path = std::string(SCRATCH_DIR) + "/" + name + ".elf";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(elf.data()), elf.size());
    return path;
}

uint32_t symbol(const std::string& name)
{
    static const auto image = boardsim::ElfImage::fromFile(FIRMWARE_ELF);
    return image.find(name).value().address;
}

}  // namespace

TEST(FaultInjection, TheUnpatchedImageRunsClean)
{
    const Outcome outcome = runBoardsim(FIRMWARE_ELF);
    EXPECT_EQ(outcome.status, 0) << outcome.stderrText;
    EXPECT_EQ(outcome.stderrText, "");
}

TEST(FaultInjection, WriteToUnmappedAddressInMain)
{
    // mov r0, #0x80000000 ; str r0, [r0]
    const Outcome outcome = runBoardsim(injected("unmapped_write", symbol("main"), {0xE3A00102, 0xE5800000}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.stderrText.find("unmapped address 0x80000000"), std::string::npos) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("<main+0x4>"), std::string::npos) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("0xe5800000"), std::string::npos) << outcome.stderrText;
}

TEST(FaultInjection, UndefinedInstructionInDelayMs)
{
    const Outcome outcome = runBoardsim(injected("undefined", symbol("DelayMs"), {0xE7F000F0}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.stderrText.find("undefined instruction"), std::string::npos) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("<DelayMs>"), std::string::npos) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("0xe7f000f0"), std::string::npos) << outcome.stderrText;
}
