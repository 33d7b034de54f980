// The frame every screen of the board starts from: a title centred on the
// top text row and a rule under it, the rest blank.
#ifndef BOARD_TITLED_SCREEN_H
#define BOARD_TITLED_SCREEN_H

#include "config.h"

// The first text row below the rule.
#define TITLED_SCREEN_FIRST_ROW 16

// Clears the LCD's frame and draws `title` and the rule into it; the panel
// gets it with the screen's next LcdFlush.
void TitledScreenBegin(const CHAR *title);

#endif
