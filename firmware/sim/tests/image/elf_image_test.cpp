// The ELF reader on the real image and on damaged copies of it, and the
// flash contents a programmer would write from it.
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "core/board_error.h"
#include "image/elf_image.h"
#include "image/flash_image.h"

using namespace boardsim;

namespace {

std::vector<uint8_t> firmwareBytes()
{
    std::ifstream in(FIRMWARE_ELF, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string errorOf(const std::vector<uint8_t>& bytes)
{
    try {
        ElfImage::fromBytes(bytes);
    } catch (const ElfError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(ElfImage, FindsFunctionsByTheirCAndCppNamesAndNamesAddressesDemangled)
{
    const ElfImage image = ElfImage::fromBytes(firmwareBytes());
    const auto byMangled = image.find("_Z11KeyGetPressv");
    ASSERT_TRUE(byMangled);
    EXPECT_TRUE(byMangled->isFunction);
    for (const char* name : {"KeyGetPress", "KeyGetPress()"}) {
        const auto found = image.find(name);
        ASSERT_TRUE(found) << name;
        EXPECT_EQ(found->address, byMangled->address);
    }
    EXPECT_EQ(image.describe(byMangled->address), "KeyGetPress");
    EXPECT_EQ(image.describe(byMangled->address + 4), "KeyGetPress+0x4");
    EXPECT_FALSE(image.find("KeyGetPres"));
    // A label covers what follows it in its section: the vector table.
    EXPECT_EQ(image.describe(0x18), "Vectors+0x18");
    // Erased flash after the image belongs to no symbol, not even to the
    // label at the end of the last section.
    const auto sectionEnd = image.find("__init_array_end");
    ASSERT_TRUE(sectionEnd);
    EXPECT_EQ(image.describe(sectionEnd->address), "__init_array_end");
    EXPECT_EQ(image.describe(sectionEnd->address + 0x1000), "");
    EXPECT_EQ(image.describe(256 * 1024 - 4), "");

    const auto frame = image.find("LcdFrame");
    ASSERT_TRUE(frame);
    EXPECT_FALSE(frame->isFunction);
    const Section* bss = image.sectionAt(frame->address);
    ASSERT_NE(bss, nullptr);
    EXPECT_FALSE(bss->executable);
    const Section* text = image.sectionAt(byMangled->address);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->executable);
}

TEST(ElfImage, FlashHoldsTheLoadChunksOverErasedCellsAndPassesTheBootTest)
{
    const ElfImage image = ElfImage::fromBytes(firmwareBytes());
    const std::vector<uint8_t> flash = flashContents(image, 256 * 1024, 0xFF);
    ASSERT_EQ(flash.size(), 256u * 1024);
    EXPECT_EQ(vectorSum(flash), 0u);
    EXPECT_NO_THROW(requireValidUserCode(flash));
    size_t programmed = 0;
    for (const LoadChunk& chunk : image.loadChunks()) {
        programmed += chunk.bytes.size();
        EXPECT_TRUE(std::equal(chunk.bytes.begin(), chunk.bytes.end(), flash.begin() + chunk.address));
    }
    EXPECT_EQ(flash.back(), 0xFF);
    EXPECT_LT(programmed, flash.size());

    std::vector<uint8_t> broken = flash;
    broken[0x14] ^= 1;  // the checksum word
    EXPECT_THROW(requireValidUserCode(broken), BoardError);
    EXPECT_THROW(flashContents(image, 1024, 0xFF), BoardError);  // does not fit
}

TEST(ElfImage, DamagedFilesAreRefusedWithTheReason)
{
    const std::vector<uint8_t> good = firmwareBytes();
    auto damaged = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    EXPECT_NE(errorOf({'\x7f', 'E', 'L'}).find("not an ELF file"), std::string::npos);
    EXPECT_NE(errorOf(damaged(EI_CLASS, ELFCLASS64)).find("32-bit"), std::string::npos);
    EXPECT_NE(errorOf(damaged(offsetof(Elf32_Ehdr, e_machine), EM_386)).find("not an ARM"), std::string::npos);
    EXPECT_NE(errorOf(damaged(offsetof(Elf32_Ehdr, e_type), ET_REL)).find("not a linked"), std::string::npos);
    EXPECT_NE(errorOf(std::vector<uint8_t>(good.begin(), good.begin() + 40)).find("truncated"), std::string::npos);
    EXPECT_NE(errorOf(damaged(offsetof(Elf32_Ehdr, e_phentsize), 0)).find("program header entries"),
              std::string::npos);
}
