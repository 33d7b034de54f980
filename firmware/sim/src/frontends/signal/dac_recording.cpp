#include "frontends/signal/dac_recording.h"

#include <algorithm>

namespace boardsim {

double DacRecording::Output::volts(double time) const
{
    const auto after = std::upper_bound(steps.begin(), steps.end(), time,
                                        [](double t, const Tlv5618::Step& s) { return t < s.time; });
    return after == steps.begin() ? before.at(time) : std::prev(after)->at(time);
}

DacRecording::DacRecording(Board& board, size_t kept) : board_(board), kept_(std::max<size_t>(kept, 2))
{
    Tlv5618& dac = board.machine().dac();
    for (unsigned which = 0; which < Tlv5618::kOutputs; ++which) {
        outputs_[which].before = dac.lastStep(which);
    }
    listener_ = dac.listen([this](unsigned which, const Tlv5618::Step& step) { heard(which, step); });
}

DacRecording::~DacRecording()
{
    board_.machine().dac().unlisten(listener_);
}

void DacRecording::heard(unsigned which, const Tlv5618::Step& step)
{
    Output& kept = outputs_.at(which);
    if (kept.steps.size() >= kept_) {
        const size_t drop = kept.steps.size() / 2;
        kept.before = kept.steps[drop - 1];
        kept.steps.erase(kept.steps.begin(), kept.steps.begin() + std::ptrdiff_t(drop));
        kept.dropped += drop;
    }
    kept.steps.push_back(step);
}

bool DacRecording::changed(unsigned which) const
{
    const Output& kept = outputs_.at(which);
    return kept.dropped > 0 || !kept.steps.empty();
}

}  // namespace boardsim
