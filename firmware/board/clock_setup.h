// Sets up the PLL, the VPB divider, the MAM and the memory map for the clock
// plan of config.h. Called once by the C start-up, before main.
#ifndef BOARD_CLOCK_SETUP_H
#define BOARD_CLOCK_SETUP_H

#ifdef __cplusplus
extern "C" {
#endif

void BoardClockInit(void);

#ifdef __cplusplus
}
#endif

#endif
