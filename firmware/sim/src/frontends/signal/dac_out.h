// `--dac-out FILE.wav`: the DAC's outputs over a run as a WAV file, one
// 32-bit float channel per output (A, then B) in volts, sampled and held at
// a fixed rate (wav_writer.h, output_sampler.h), in simulated time since
// the board's reset. Streamed: the file grows with the run, memory stays at
// one block, and it appears complete, under its name, when the run ends
// however it ends.
//
// attach() is the one hook a front end needs, as for the pin trace: each
// board a run makes (gdb's monitor reset builds a new one; a scenario may
// run several in turn) goes on the same time axis where the last was let go.
#pragma once

#include <memory>
#include <string>

#include "machine/board.h"

namespace boardsim {

// Well above any update rate SPI0 allows (a word takes 11.6 us at the
// board's SCK): 1 us steps show each update and its settling.
constexpr unsigned kDefaultDacRate = 1'000'000;

class DacOut {
public:
    // Writes `path` (a temporary file until finish()) at `rate` frames a
    // second; throws OutputError when it cannot be written.
    DacOut(const std::string& path, unsigned rate);
    // Unfinished, the file is given up and the target left as it was.
    ~DacOut();
    DacOut(const DacOut&) = delete;
    DacOut& operator=(const DacOut&) = delete;

    // Follows `board` from its present moment on: its outputs now, then
    // every step. A board attached before is let go first.
    void attach(Board& board);
    // Lets the attached board go at its present moment.
    void detach();
    // Ends the file at the attached board's present moment and puts it in
    // place. Throws OutputError, also for a write that failed during the run
    // (which then asked the board to stop).
    void finish();

    uint64_t frames() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace boardsim
