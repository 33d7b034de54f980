#include "frontends/signal/dac_out.h"

#include <optional>
#include <stdexcept>

#include "frontends/signal/output_sampler.h"
#include "frontends/signal/wav_writer.h"

namespace boardsim {

struct DacOut::State {
    State(const std::string& path, unsigned frameRate)
        : writer(path, frameRate, Tlv5618::kOutputs), rate(frameRate)
    {
    }

    // The outputs as `dac` has them now, on the file's time axis.
    OutputSampler::Outputs outputsOf(const Tlv5618& dac) const
    {
        OutputSampler::Outputs outputs;
        for (unsigned output = 0; output < Tlv5618::kOutputs; ++output) {
            outputs[output] = shifted(dac.lastStep(output));
        }
        return outputs;
    }

    Tlv5618::Step shifted(Tlv5618::Step step) const
    {
        step.time += offset;
        return step;
    }

    void heard(unsigned output, const Tlv5618::Step& step)
    {
        sampler->step(output, shifted(step));
        if (writer.failed() && !stopAsked && board != nullptr) {
            stopAsked = true;  // a run whose outputs cannot be written any more ends
            board->requestStop();
        }
    }

    WavWriter writer;
    unsigned rate;
    std::optional<OutputSampler> sampler;
    bool finished = false;
    Board* board = nullptr;
    size_t listener = 0;
    double offset = 0;  // where on the file's axis the attached board's reset is
    bool stopAsked = false;
};

DacOut::DacOut(const std::string& path, unsigned rate) : state_(std::make_shared<State>(path, rate)) {}

// The board may be gone by now: only the file is let go.
DacOut::~DacOut()
{
    if (!state_->finished) {
        state_->writer.abandon();
    }
}

void DacOut::attach(Board& board)
{
    if (state_->finished) {
        throw std::logic_error("a finished DAC recording takes no more boards");
    }
    detach();
    State& state = *state_;
    const Tlv5618& dac = board.machine().dac();
    if (!state.sampler) {
        State* s = state_.get();
        state.sampler.emplace(state.rate, state.offset + board.seconds(), state.outputsOf(dac),
                              [s](const float* frames, size_t count) { s->writer.write(frames, count); });
    } else {
        // The new board's outputs from its own reset on.
        for (unsigned output = 0; output < Tlv5618::kOutputs; ++output) {
            state.sampler->step(output, state.shifted(dac.lastStep(output)));
        }
    }
    state.board = &board;
    state.stopAsked = false;
    state.listener = board.machine().dac().listen(
        [shared = state_](unsigned output, const Tlv5618::Step& step) { shared->heard(output, step); });
}

void DacOut::detach()
{
    State& state = *state_;
    if (state.board == nullptr) {
        return;
    }
    state.board->machine().pins().catchUp();  // a word whose last edge is due by now, heard
    state.board->machine().dac().unlisten(state.listener);
    state.sampler->until(state.offset + state.board->seconds());
    state.offset += state.board->seconds();
    state.board = nullptr;
}

void DacOut::finish()
{
    detach();
    State& state = *state_;
    state.finished = true;
    if (state.sampler) {
        state.sampler->until(state.offset);
    }
    state.writer.finish();
}

uint64_t DacOut::frames() const
{
    return state_->writer.frames();
}

}  // namespace boardsim
