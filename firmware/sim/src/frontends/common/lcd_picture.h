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

// The frame as text, '#' for dark pixels: for messages and terminals.
std::string lcdAsText(const std::vector<uint8_t>& frame);

}  // namespace boardsim
