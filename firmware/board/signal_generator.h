// The signal generator: a table played through the TLV5618 at a steady
// update rate, one word per match of Timer1, sent from Timer1's vectored
// interrupt over the shared SPI0.
#ifndef BOARD_SIGNAL_GENERATOR_H
#define BOARD_SIGNAL_GENERATOR_H

#include "config.h"
#include "signal_tables.h"

// The update rates offered, in hertz, the first the default. Each divides
// Fpclk, so Timer1 counts a whole number of clocks a sample and the rate
// is exact; each is a multiple of 4096, so every table's frequency is a
// whole number of hertz but option 6's (4095 entries).
constexpr INT32U kSignalRates[] = {8192, 12288, 16384, 24576};
constexpr INT32U kSignalRateCount = sizeof kSignalRates / sizeof kSignalRates[0];

// What the DAC is left holding when the generator stops: fast mode, DAC B
// and the buffer written with code 0, so output B (the signal's) drives
// 0 V. DAC A is never written.
constexpr INT16U kSignalStopWord = 0x4000;

// Starts playing `table` from its first entry at `rateHz`, or switches to
// it if playing already.
void SignalPlay(const SignalTable *table, INT32U rateHz);
// Stops the interrupt and Timer1, then writes kSignalStopWord.
void SignalStop(void);
// The frequency a table of `length` entries (one period) gives at `rateHz`,
// in millihertz, rounded to the nearest.
INT32U SignalMilliHertz(INT32U rateHz, INT32U length);

#ifndef BOARD_IRQ_HANDLER
// An IRQ handler's entry and exit: LR less 4, the registers it uses saved
// on the IRQ stack, SUBS PC to return with the CPSR restored.
#define BOARD_IRQ_HANDLER __attribute__((interrupt("IRQ")))
#endif

// Timer1's match interrupt, reached through the VIC's vectored slot 0:
// sends the next word and acknowledges the timer and the VIC.
extern "C" BOARD_IRQ_HANDLER void SignalTimerIrq(void);

#endif
