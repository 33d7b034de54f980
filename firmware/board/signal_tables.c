/* Every table the firmware plays, in the order the signal screen offers
   them. The list and the arrays are written by the build from dactables'
   tables (firmware/signal_tables.cmake). */
#include "config.h"
#include "signal_tables.h"
#include "signal_table_list.h"

const SignalTable SignalTables[] = {SIGNAL_TABLE_ROWS};
const INT32U SignalTableCount = sizeof SignalTables / sizeof SignalTables[0];
