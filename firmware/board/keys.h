// Board-internal part of the key driver, used by the menu engine.
#ifndef BOARD_KEYS_H
#define BOARD_KEYS_H

#include "config.h"

// Samples the keys once. Returns KEY_DOWN | key number for a key that was up
// at the previous sample and is down now (the lowest such key if several),
// NO_KEY otherwise.
INT8U KeyGetPress(void);

#endif
