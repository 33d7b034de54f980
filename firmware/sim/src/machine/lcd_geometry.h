// The board's display: 84 x 48 pixels in 6 pages of 84 column bytes, bit n
// of byte [page * 84 + x] the pixel (x, page * 8 + n).
#pragma once

namespace boardsim {

constexpr unsigned kLcdWidth = 84;
constexpr unsigned kLcdHeight = 48;
constexpr unsigned kLcdFrameBytes = kLcdWidth * kLcdHeight / 8;

}  // namespace boardsim
