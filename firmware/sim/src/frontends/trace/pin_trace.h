// Port 0's pins over a run as a logic analyzer would record them: a VCD
// (vcd_writer.h) with one variable per pin, P0_0 ... P0_31 in the scope
// port0, each with a $comment naming the pin's functions and what the board
// wires to it, and the wired ones again under the board's names (LED,
// TXD0, LCD_SCLK, ...) in the scope board, in simulated nanoseconds since
// the board's reset. It hears every change
// the pin layer delivers (machine/pins.h), so the file grows with the
// changes, not with time.
//
// Beside the pins, as an oscilloscope's analogue channels would, the DAC's
// outputs DAC_A and DAC_B as real variables in volts: the value at each
// update, then points along its settling (after 1, 2, 3 and 5 time
// constants) and the new value once settled to half an LSB, so that a
// viewer's interpolated analogue display draws the approach.
//
// attach() is the one hook a front end needs: called for each board a run
// makes (gdb's monitor reset builds a new one; a scenario may run several
// in turn), each goes on the same time axis where the last one was let go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "machine/board.h"

namespace boardsim {

class PinTrace {
public:
    // Traces the pins in the mask `pins` (and with `dac`, the DAC's
    // outputs) into `path` (a temporary file until finish()); throws
    // OutputError when it cannot be written.
    PinTrace(const std::string& path, uint32_t pins, bool dac = true);
    // Unfinished, the file is given up and the target left as it was.
    ~PinTrace();
    PinTrace(const PinTrace&) = delete;
    PinTrace& operator=(const PinTrace&) = delete;

    // Traces `board` from its present moment on: its pins' levels now,
    // then every change. A board attached before is let go first.
    void attach(Board& board);
    // Lets the attached board go at its present moment (before it is
    // destroyed); the next one continues the time axis from there.
    void detach();
    // Ends the trace at the attached board's present moment and puts the
    // file in place. Throws OutputError, also for a write that failed
    // during the run (which then asked the board to stop).
    void finish();

    uint64_t changes() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// The header's comment about P0.`pin`: its functions and its wiring.
std::string pinComment(unsigned pin);

}  // namespace boardsim
