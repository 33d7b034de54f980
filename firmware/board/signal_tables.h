/* The tables the signal generator plays: dactables' own, turned into C
   arrays by the build (romtable export --c), one period of the waveform
   each. C as well as C++: the arrays are compiled in C, so that each keeps
   its plain name in the image. */
#ifndef BOARD_SIGNAL_TABLES_H
#define BOARD_SIGNAL_TABLES_H

#include "config.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct
{
    INT8U option;         /* dactables' menu number */
    INT8U step;           /* every step-th sample of the period; 1 for options 5 and 6 */
    const INT16U *words;  /* TLV5618 words, 0x4000 | code: fast mode, DAC B and the buffer */
    INT32U length;        /* entries, one period */
} SignalTable;

extern const SignalTable SignalTables[];
extern const INT32U SignalTableCount;

#ifdef __cplusplus
}
#endif

#endif
