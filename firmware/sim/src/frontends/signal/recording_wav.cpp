#include "frontends/signal/recording_wav.h"

#include <algorithm>
#include <tuple>

#include "frontends/signal/output_sampler.h"
#include "frontends/signal/wav_writer.h"

namespace boardsim {
namespace {

// The step of `output` in force at `time`, and the index of the next one.
std::pair<Tlv5618::Step, size_t> inForce(const DacRecording::Output& output, double time)
{
    const auto next = std::upper_bound(output.steps.begin(), output.steps.end(), time,
                                       [](double t, const Tlv5618::Step& s) { return t < s.time; });
    const auto index = size_t(next - output.steps.begin());
    return {index == 0 ? output.before : output.steps[index - 1], index};
}

}  // namespace

void writeRecordingWav(const DacRecording& recording, const std::string& path, unsigned rate, double from,
                       double to)
{
    double start = from;
    for (unsigned o = 0; o < Tlv5618::kOutputs; ++o) {
        start = std::max(start, recording.output(o).before.time);
    }
    OutputSampler::Outputs outputs;
    std::array<size_t, Tlv5618::kOutputs> next{};
    for (unsigned o = 0; o < Tlv5618::kOutputs; ++o) {
        std::tie(outputs[o], next[o]) = inForce(recording.output(o), start);
    }
    WavWriter wav(path, rate, Tlv5618::kOutputs);
    OutputSampler sampler(rate, start, outputs, [&wav](const float* frames, size_t count) { wav.write(frames, count); });
    // Both outputs' steps in time order, up to the end.
    for (;;) {
        unsigned earliest = Tlv5618::kOutputs;
        for (unsigned o = 0; o < Tlv5618::kOutputs; ++o) {
            const auto& steps = recording.output(o).steps;
            if (next[o] < steps.size() && steps[next[o]].time < to &&
                (earliest == Tlv5618::kOutputs ||
                 steps[next[o]].time < recording.output(earliest).steps[next[earliest]].time)) {
                earliest = o;
            }
        }
        if (earliest == Tlv5618::kOutputs) {
            break;
        }
        sampler.step(earliest, recording.output(earliest).steps[next[earliest]++]);
    }
    sampler.until(to);
    wav.finish();
}

}  // namespace boardsim
