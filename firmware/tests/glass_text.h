// Reads text back from the LCD's glass: each 6 x 8 cell of a text row,
// matched against the board's 5 x 7 font, so that a test can say what the
// screen reads rather than compare pixels.
#ifndef FIRMWARE_TESTS_GLASS_TEXT_H
#define FIRMWARE_TESTS_GLASS_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

// The text of the row whose cells start at pixel row y, cells at x = 0, 6,
// 12, ...; a cell no glyph matches reads '?'. Blanks at either end dropped.
std::string GlassText(const std::vector<std::uint8_t> &glass, unsigned y);

#endif
