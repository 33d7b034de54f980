// A small 5 x 7 font holding the characters the menu shows.
#ifndef BOARD_FONT5X7_H
#define BOARD_FONT5X7_H

#include "config.h"

#define FONT_WIDTH  5
#define FONT_HEIGHT 7

// Seven rows, top first; bit 4 of a row is the leftmost pixel. A character
// outside the font comes back as a filled box, so it shows up as missing.
const INT8U *FontGlyph(CHAR c);

#endif
