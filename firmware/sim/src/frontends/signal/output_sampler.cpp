#include "frontends/signal/output_sampler.h"

#include <algorithm>
#include <iterator>

namespace boardsim {
namespace {

constexpr size_t kBlockFrames = size_t{16} * 1024;

}  // namespace

OutputSampler::OutputSampler(double rate, double start, const Outputs& initial, Sink sink)
    : rate_(rate), start_(start), outputs_(initial), sink_(std::move(sink))
{
    block_.reserve(kBlockFrames * Tlv5618::kOutputs);
}

void OutputSampler::frameUpTo(double time)
{
    for (;;) {
        const double at = start_ + double(next_) / rate_;
        if (at >= time) {
            return;
        }
        std::transform(outputs_.begin(), outputs_.end(), std::back_inserter(block_),
                       [at](const Tlv5618::Step& output) { return float(output.at(at)); });
        ++next_;
        if (block_.size() >= kBlockFrames * Tlv5618::kOutputs) {
            flush();
        }
    }
}

void OutputSampler::flush()
{
    if (!block_.empty()) {
        sink_(block_.data(), block_.size() / Tlv5618::kOutputs);
        block_.clear();
    }
}

void OutputSampler::step(unsigned output, const Tlv5618::Step& step)
{
    frameUpTo(step.time);
    outputs_.at(output) = step;
}

void OutputSampler::until(double end)
{
    frameUpTo(end);
    flush();
}

}  // namespace boardsim
