// A fault injected into a copy of the real image makes boardsim fail loudly:
// non-zero status, and a message naming the address and the instruction.
#include <gtest/gtest.h>

#include "image/elf_image.h"
#include "util/text.h"
#include "support/child_process.h"
#include "support/image_patch.h"

namespace {

struct Outcome {
    int status = -1;
    std::string stderrText;
};

Outcome runBoardsim(const std::string& image)
{
    const auto r = boardsim::testing::runCommand({BOARDSIM_EXE, image, "--run", "2M", "--quiet"});
    return {r.status, r.err};
}

std::string injected(const std::string& name, uint32_t address, const std::vector<uint32_t>& words)
{
    const std::string path = std::string(SCRATCH_DIR) + "/" + name + ".elf";
    boardsim::testing::patchWords(FIRMWARE_ELF, path, address, words);
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
    EXPECT_NE(outcome.stderrText.find("undefined instruction; its handler hangs at Undef_Hang"), std::string::npos)
        << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("<DelayMs>"), std::string::npos) << outcome.stderrText;
    EXPECT_NE(outcome.stderrText.find("0xe7f000f0"), std::string::npos) << outcome.stderrText;
}

// Erased flash reads 0xFFFFFFFF, condition NV: the ARM7TDMI runs through it
// as through no-ops, to the end of flash, where the fetch aborts. The fault
// names the jump that led there, not the last erased word.
TEST(FaultInjection, JumpIntoErasedFlashRunsToItsEndAndNamesTheJump)
{
    // mov pc, #0x20000: half way up the flash, far above the image.
    const Outcome outcome = runBoardsim(injected("erased_jump", symbol("main"), {0xE3A0F802}));
    EXPECT_EQ(outcome.status, 1);
    const std::string& text = outcome.stderrText;
    EXPECT_NE(text.find("prefetch abort: instruction fetch from unmapped address 0x00040000, after 32768 "
                        "never-executed words from 0x00020000"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("its handler hangs at PAbt_Hang"), std::string::npos) << text;
    EXPECT_NE(text.find("instruction at " + boardsim::hex(symbol("main")) + " <main> (0xe3a0f802)"),
              std::string::npos)
        << text;
}

// --trace-io shows a write the model then refuses, its address once: an
// offset in a block where there is no register reads short.
TEST(FaultInjection, ATracedWriteToNoRegisterShowsItsAddressOnce)
{
    // mov r0, #0xe0000000 ; add r0, r0, #0x1fc000 ; add r0, r0, #0x20 ; str r0, [r0]
    const std::string image =
        injected("no_register", symbol("main"), {0xE3A0020E, 0xE280097F, 0xE2800020, 0xE5800000});
    const auto r = boardsim::testing::runCommand({BOARDSIM_EXE, image, "--run", "2M", "--trace-io"});
    EXPECT_EQ(r.status, 1);
    const size_t at = r.out.find("0xe01fc020 <- 0xe01fc020");
    ASSERT_NE(at, std::string::npos) << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0);
    const std::string line = r.out.substr(r.out.rfind('\n', at) + 1, at - r.out.rfind('\n', at) - 1);
    EXPECT_NE(line.find("write  SCB+0x20 "), std::string::npos) << line;
    // Beyond any block's registers: no name but the address, shown once.
    const std::string beyond =
        injected("no_block", symbol("main"), {0xE3A0020E, 0xE2800901, 0xE2800C01, 0xE5800000});
    const auto far = boardsim::testing::runCommand({BOARDSIM_EXE, beyond, "--run", "2M", "--trace-io"});
    EXPECT_NE(far.out.find("write  -        0xe0004100 <- 0xe0004100"), std::string::npos)
        << far.out.substr(far.out.size() > 2000 ? far.out.size() - 2000 : 0);
}

// UART text without a line feed is printed as it comes, once the UART falls
// quiet, at the moment of its last byte: not held to the end of the run.
TEST(FaultInjection, TextWithoutALineFeedIsPrintedWhenTheUartFallsQuiet)
{
    const std::string path = std::string(SCRATCH_DIR) + "/no_line_feed.elf";
    boardsim::testing::patchText(FIRMWARE_ELF, path, "UART pro\n", "UART pro ");
    const auto r = boardsim::testing::runCommand({BOARDSIM_EXE, path, "--run", "50ms"});
    EXPECT_EQ(r.status, 0) << r.err;
    const size_t at = r.out.find("UART0  \"Hello my first UART pro \"");
    ASSERT_NE(at, std::string::npos) << r.out;
    const size_t lineStart = r.out.rfind('\n', at) + 1;
    EXPECT_NE(r.out.substr(lineStart, at - lineStart).find(" 2.5"), std::string::npos)
        << "not at the last byte's moment: " << r.out.substr(lineStart, at - lineStart + 40);
    EXPECT_LT(at, r.out.find("stop   end of the run"));
}
