// Pictures of the LCD from a frame buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "machine/board.h"
#include "frontends/common/lcd_picture.h"
#include "frontends/live/screen.h"
#include "support/scratch_dir.h"

using namespace boardsim;
using boardsim::testing::contains;

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

TEST(LcdPicture, PicturesReadBackAsTheFrameTheyShowAtAnyScaleAndFormat)
{
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    frame[0] = 0x01;                   // (0, 0)
    frame[3 * kLcdWidth + 40] = 0xA5;  // a column of page 3
    frame[kLcdFrameBytes - 1] = 0x80;  // (83, 47)
    const boardsim::testing::ScratchDir dir;
    for (const char* name : {"a.png", "b.pbm"}) {
        for (const unsigned scale : {1u, 4u}) {
            const std::string path = dir.file(std::to_string(scale) + name);
            writeLcdPicture(frame, path, scale);
            EXPECT_EQ(readLcdPicture(path), frame) << path;
        }
    }
    // Raw PBM (P4), as other tools write it, with a comment: a blank glass
    // at scale 1 but for pixel (1, 0).
    std::string raw = "P4\n# made elsewhere\n92 56\n";
    for (unsigned y = 0; y < 56; ++y) {
        std::string row(12, '\0');
        if (y == 4) {
            row[0] = 0x04;  // x 5 = LCD x 1 behind the border of 4
        }
        raw += row;
    }
    std::ofstream(dir.file("raw.pbm"), std::ios::binary) << raw;
    std::vector<uint8_t> one(kLcdFrameBytes, 0);
    one[1] = 0x01;
    EXPECT_EQ(readLcdPicture(dir.file("raw.pbm")), one);
}

TEST(LcdPicture, WhatIsNoPictureOfTheGlassIsRefusedWithWhy)
{
    const boardsim::testing::ScratchDir dir;
    const auto refusal = [](const std::string& path) {
        try {
            readLcdPicture(path);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("read");
    };
    std::ofstream(dir.file("small.pbm")) << "P1\n3 2\n0 1 0\n1 0 1\n";
    EXPECT_TRUE(contains(refusal(dir.file("small.pbm")), "3 x 2 pixels is no size of an LCD picture"));
    // At scale 2, one output pixel of LCD pixel (0, 0) dark, the others light.
    std::string half = "P1\n176 104\n";
    for (unsigned y = 0; y < 104; ++y) {
        for (unsigned x = 0; x < 176; ++x) {
            half += (x == 4 && y == 4) ? "1 " : "0 ";
        }
        half += "\n";
    }
    std::ofstream(dir.file("half.pbm")) << half;
    EXPECT_TRUE(contains(refusal(dir.file("half.pbm")), "pixel (0, 0) of the LCD is not one colour"));
    std::ofstream(dir.file("text.png")) << "not a picture";
    EXPECT_TRUE(contains(refusal(dir.file("text.png")), "cannot read the picture " + dir.file("text.png")));
    EXPECT_TRUE(contains(refusal(dir.file("none.png")), "No such file or directory"));
}

TEST(LcdPicture, ADifferenceCountsThePixelsAndShowsWhere)
{
    std::vector<uint8_t> expected(kLcdFrameBytes, 0);
    std::vector<uint8_t> actual(kLcdFrameBytes, 0);
    expected[kLcdWidth + 7] = 0x03;  // (7, 8) and (7, 9)
    actual[kLcdWidth + 7] = 0x01;    // (7, 8) only
    actual[2] = 0x10;                // (2, 4) too many
    const LcdDifference difference = lcdDifference(expected, actual);
    EXPECT_EQ(difference.pixels, 2u);
    EXPECT_EQ(difference.firstX, 2u);  // row by row
    EXPECT_EQ(difference.firstY, 4u);
    EXPECT_EQ(lcdDifference(actual, actual).pixels, 0u);

    // In PBM, only the pixels that differ are dark.
    const boardsim::testing::ScratchDir dir;
    writeLcdDifference(expected, actual, dir.file("diff.pbm"), 1);
    std::vector<uint8_t> differing(kLcdFrameBytes, 0);
    differing[kLcdWidth + 7] = 0x02;
    differing[2] = 0x10;
    EXPECT_EQ(readLcdPicture(dir.file("diff.pbm")), differing);
    writeLcdDifference(expected, actual, dir.file("diff.png"));
    EXPECT_GT(std::filesystem::file_size(dir.file("diff.png")), 0u);
}
