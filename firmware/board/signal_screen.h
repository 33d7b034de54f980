// The menu's "Signal" entry: its action starts the generator and shows the
// signal screen, whose keys the menu engine then hands over until KEY_4.
#ifndef BOARD_SIGNAL_SCREEN_H
#define BOARD_SIGNAL_SCREEN_H

#include "config.h"

#ifdef __cplusplus
extern "C" {
#endif

// Plays option 5's table at the first (default) rate and shows the screen.
void SysSignal(void);
// A fresh key press on the signal screen: KEY_1 the table before, KEY_2
// the next one, KEY_3 the next rate (each changed while playing), KEY_4
// stops. Returns FALSE once the screen is closed.
BOOL SignalScreenKey(INT8U key);

#ifdef __cplusplus
}
#endif

#endif
