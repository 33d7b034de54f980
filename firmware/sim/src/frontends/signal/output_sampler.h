// The DAC's outputs sampled at a fixed rate, sample and hold: frame k holds
// every output's voltage at start + k / rate, settling included, handed on
// in blocks. It hears the outputs' steps in time order as they come and
// makes each frame once no step before its moment can come any more, so a
// run of any length costs one block of memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "machine/tlv5618.h"

namespace boardsim {

class OutputSampler {
public:
    using Outputs = std::array<Tlv5618::Step, Tlv5618::kOutputs>;
    // Frames of one float (volts) per output, interleaved.
    using Sink = std::function<void(const float* frames, size_t count)>;

    OutputSampler(double rate, double start, const Outputs& initial, Sink sink);

    // `output` follows `step` from step.time on (no earlier than the last).
    void step(unsigned output, const Tlv5618::Step& step);
    // Every frame before `end`, handed on.
    void until(double end);

    uint64_t frames() const { return next_; }

private:
    void frameUpTo(double time);  // the frames before `time`
    void flush();

    double rate_;
    double start_;
    Outputs outputs_;
    Sink sink_;
    uint64_t next_ = 0;  // the next frame's number
    std::vector<float> block_;
};

}  // namespace boardsim
