// Pictures of the LCD from a frame buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "machine/board.h"
#include "frontends/common/lcd_picture.h"
#include "frontends/live/screen.h"
#include "support/scratch_dir.h"

using namespace boardsim;

TEST(LcdPicture, PixelMappingIsPageColumnBit)
{
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    EXPECT_TRUE(lcdBlank(frame));
    frame[2 * kLcdWidth + 5] = 0x08;  // page 2, column 5, bit 3 -> (5, 19)
    EXPECT_FALSE(lcdBlank(frame));
    EXPECT_TRUE(lcdPixel(frame, 5, 19));
    EXPECT_FALSE(lcdPixel(frame, 5, 18));
    EXPECT_FALSE(lcdPixel(frame, 6, 19));
    const std::string text = lcdAsText(frame);
    EXPECT_EQ(text[19 * (kLcdWidth + 1) + 5], '#');
}

TEST(LcdPicture, PbmHasTheScaledSizeAndTheDarkPixels)
{
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    frame[0] = 0x01;  // pixel (0, 0)
    const boardsim::testing::ScratchDir dir;
    const std::string path = dir.file("lcd_test.pbm");
    writeLcdPicture(frame, path, 2);
    std::ifstream in(path);
    std::string magic;
    unsigned width = 0, height = 0;
    in >> magic >> width >> height;
    EXPECT_EQ(magic, "P1");
    EXPECT_EQ(width, kLcdWidth * 2 + 8);  // a border of 4 on each side
    EXPECT_EQ(height, kLcdHeight * 2 + 8);
    std::vector<int> pixels;
    int value;
    while (in >> value) {
        pixels.push_back(value);
    }
    ASSERT_EQ(pixels.size(), size_t(width) * height);
    EXPECT_EQ(pixels[4 * width + 4], 1);  // (0, 0) enlarged: 2 x 2 dark
    EXPECT_EQ(pixels[5 * width + 5], 1);
    EXPECT_EQ(pixels[6 * width + 6], 0);
    EXPECT_EQ(pixels[0], 0);              // border
}

TEST(LcdPicture, HalfBlocksPutTwoPixelRowsInACharacter)
{
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    frame[0] = 0x01;               // (0, 0): upper half of cell (0, 0)
    frame[1] = 0x02;               // (1, 1): lower half of cell (1, 0)
    frame[2] = 0x03;               // (2, 0) and (2, 1): both
    frame[5 * kLcdWidth + 83] = 0x80;  // (83, 47): lower half of the last cell
    const auto rows = lcdHalfBlocks(frame);
    ASSERT_EQ(rows.size(), kLcdHeight / 2);
    EXPECT_EQ(rows[0].substr(0, 3 * 3 + 1), "\u2580\u2584\u2588 ");
    EXPECT_EQ(rows[23].substr(rows[23].size() - 3), "\u2584");
    EXPECT_EQ(rows[1], std::string(kLcdWidth, ' '));
    const auto plain = lcdHalfBlocks(frame, false);
    EXPECT_EQ(plain[0].substr(0, 4), "',# ");
    EXPECT_EQ(plain[23].size(), kLcdWidth);
}
