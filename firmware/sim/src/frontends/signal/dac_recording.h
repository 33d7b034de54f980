// The DAC's outputs over a run, kept: each output's state when the
// recording began and every step a word made since, in time order, so that
// a report or a scenario can measure them (signal_figures.h) or write any
// stretch of them as a WAV file. Bounded: past `kept` steps an output drops
// its oldest half, so that a long run keeps its latest stretch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "machine/board.h"

namespace boardsim {

// 2^22 steps (128 MiB an output at most): over eight minutes of a 8 kHz
// update rate.
constexpr size_t kKeptDacSteps = size_t{1} << 22;

class DacRecording {
public:
    struct Output {
        Tlv5618::Step before;              // the output before the first step kept
        std::vector<Tlv5618::Step> steps;  // in time order
        uint64_t dropped = 0;              // oldest steps given up
        // The output's voltage at `time` (at or after `before`).
        double volts(double time) const;
    };

    // Keeps `board`'s outputs from its present moment on, for as long as
    // the recording lives (the board must outlive it).
    explicit DacRecording(Board& board, size_t kept = kKeptDacSteps);
    ~DacRecording();
    DacRecording(const DacRecording&) = delete;
    DacRecording& operator=(const DacRecording&) = delete;

    const Output& output(unsigned which) const { return outputs_.at(which); }
    // Whether any word moved the output since the recording began.
    bool changed(unsigned which) const;

private:
    void heard(unsigned which, const Tlv5618::Step& step);

    Board& board_;
    size_t kept_;
    size_t listener_;
    std::array<Output, Tlv5618::kOutputs> outputs_;
};

}  // namespace boardsim
