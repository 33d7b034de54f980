// Pictures of the 84 x 48 LCD from the firmware's frame buffer (6 pages of
// 84 column bytes, bit n of byte [page * 84 + x] = pixel (x, page * 8 + n)).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

// True when pixel (x, y) is dark.
bool lcdPixel(const std::vector<uint8_t>& frame, unsigned x, unsigned y);
bool lcdBlank(const std::vector<uint8_t>& frame);

// Writes the frame enlarged `scale` times: PNG, or plain PBM when the file
// name ends in ".pbm" (or PNG support was not built in). Throws on failure.
void writeLcdPicture(const std::vector<uint8_t>& frame, const std::string& path, unsigned scale = 4);

// The same picture as PNG bytes (built with libpng only).
std::string lcdPng(const std::vector<uint8_t>& frame, unsigned scale = 4);

// Reads a picture as writeLcdPicture writes it (PNG or PBM, plain or raw,
// at any scale, with its border) back into a frame. Throws
// std::runtime_error naming the file and what is wrong with it.
std::vector<uint8_t> readLcdPicture(const std::string& path);

// How two frames differ: the pixels that do, and the first of them.
struct LcdDifference {
    unsigned pixels = 0;
    unsigned firstX = 0;
    unsigned firstY = 0;
};
LcdDifference lcdDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual);

// A picture of where `actual` departs from `expected`, at the scale
// writeLcdPicture uses: pixels that agree as on the glass, a dark pixel that
// is missing in red, one too many in blue (PNG); in PBM, for a ".pbm" name,
// only the pixels that differ, dark. Throws on failure.
void writeLcdDifference(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& actual,
                        const std::string& path, unsigned scale = 4);

// The frame as text, '#' for dark pixels: for messages and terminals.
std::string lcdAsText(const std::vector<uint8_t>& frame);

}  // namespace boardsim
