// The real image and the board's LCD. The picture comes from the panel's
// controller, which the image reaches only through SPI0 and three GPIO
// lines; the RAM frame the firmware draws into is read here only to compare
// with what reached the glass.
#include <gtest/gtest.h>

#include "frontends/common/lcd_picture.h"
#include "machine/board.h"
#include "support/child_process.h"
#include "support/image_patch.h"
#include "support/test_board.h"

using namespace boardsim;
using boardsim::testing::contains;
using boardsim::testing::runCommand;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;
using boardsim::testing::TestBoard;

namespace {

const ElfImage& firmware()
{
    static const ElfImage image = ElfImage::fromFile(FIRMWARE_ELF);
    return image;
}

uint32_t symbol(const std::string& name)
{
    return firmware().find(name).value().address;
}

}  // namespace

TEST(LcdImage, TheGlassShowsWhatTheFirmwareDrewSentOverSpi0AtPclkOverEight)
{
    TestBoard board(firmware());
    board.pressKey(2, When::at(0.1), When::at(0.08));  // the marker down to "Author"
    board.runUntil(When::at(0.3));
    ASSERT_FALSE(board.fault()) << board.fault()->message();
    const auto drawn = board.readMemory(symbol("LcdFrame"), kLcdFrameBytes);
    EXPECT_FALSE(lcdBlank(drawn));
    EXPECT_EQ(board.lcdFrame(), drawn);
    EXPECT_EQ(board.lcdWhyBlank(), "");
    // The chip's fastest SPI clock, 11.0592 MHz / 8 = 1.3824 MHz, a third
    // of what the controller takes.
    EXPECT_EQ(board.machine().spi0.clockCounter(), 8u);
    EXPECT_NEAR(board.machine().spi0.sckHz(), 1.3824e6, 1);
    // The first frame went as a whole, the marker's move as a few bytes.
    const Pcd8544::Traffic& traffic = board.machine().lcd().traffic();
    EXPECT_EQ(traffic.longestRun, kLcdFrameBytes);
    EXPECT_LT(traffic.data, 2u * kLcdFrameBytes);
}

TEST(LcdImage, AStrippedImageShowsTheSamePictures)
{
    const ScratchDir dir;
    const std::string strip = boardsim::testing::findProgram("arm-none-eabi-strip");
    ASSERT_FALSE(strip.empty()) << "arm-none-eabi-strip is not installed (scripts/bootstrap installs it)";
    const std::string stripped = dir.file("stripped.elf");
    ASSERT_EQ(runCommand({strip, "-o", stripped, FIRMWARE_ELF}).status, 0);
    ASSERT_FALSE(ElfImage::fromFile(stripped).find("LcdFrame")) << "symbols left in the stripped image";

    // The menu, "Version"'s blank screen, the menu back (the key that ends
    // "Version" moves nothing), the marker on "Author".
    const char* const moments[] = {"0.05s", "0.25s", "0.45s", "0.75s"};
    std::vector<std::vector<std::string>> pictures;
    for (const std::string& image : {std::string(FIRMWARE_ELF), stripped}) {
        std::vector<std::string> args = {BOARDSIM_EXE, image, "--press", "3@0.1s:80ms", "--press", "2@0.3s:80ms",
                                         "--press", "2@0.5s:80ms", "--run", "0.8s", "--quiet"};
        for (const char* at : moments) {
            args.insert(args.end(), {"--lcd-at", std::string(at) + ":" + dir.file(std::to_string(pictures.size()) +
                                                                              "-" + at + ".pbm")});
        }
        const auto r = runCommand(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        pictures.emplace_back();
        for (const char* at : moments) {
            pictures.back().push_back(slurp(dir.file(std::to_string(pictures.size() - 1) + "-" + at + ".pbm")));
            ASSERT_FALSE(pictures.back().back().empty()) << at;
        }
    }
    EXPECT_EQ(pictures[1], pictures[0]);
    const auto& seen = pictures[0];
    EXPECT_NE(seen[1], seen[0]);
    EXPECT_EQ(seen[2], seen[0]);
    EXPECT_NE(seen[3], seen[0]);
    EXPECT_NE(seen[3], seen[1]);
}

// The copy returns from the set-up at once: the controller stays in the
// power-down its reset left it in. The bytes still reach its RAM.
TEST(LcdImage, WithoutTheControllersSetUpTheGlassShowsNothingAndSaysWhy)
{
    const ScratchDir dir;
    const std::string copy = dir.file("no-setup.elf");
    boardsim::testing::patchWords(FIRMWARE_ELF, copy, symbol("LcdSetUp"), {0xE12FFF1E});  // bx lr
    const ElfImage image = ElfImage::fromFile(copy);
    TestBoard board(image);
    board.runUntil(When::at(0.1));
    ASSERT_FALSE(board.fault()) << board.fault()->message();
    EXPECT_TRUE(lcdBlank(board.lcdFrame()));
    EXPECT_TRUE(contains(board.lcdWhyBlank(), "power-down")) << board.lcdWhyBlank();
    const auto& ram = board.machine().lcd().ram();
    EXPECT_EQ(std::vector<uint8_t>(ram.begin(), ram.end()), board.readMemory(symbol("LcdFrame"), kLcdFrameBytes));

    const auto r = runCommand({BOARDSIM_EXE, copy, "--run", "0.1s", "--lcd", dir.file("lcd.pbm"), "--quiet"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "lcd.pbm: the LCD shows nothing: the controller is in power-down")) << r.err;
}
