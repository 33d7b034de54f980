#include "frontends/trace/pin_trace.h"

#include <array>
#include <cmath>
#include <vector>

#include "frontends/trace/vcd_writer.h"
#include "machine/pin_names.h"

namespace boardsim {
namespace {

uint64_t nanoseconds(double seconds)
{
    return seconds <= 0 ? 0 : uint64_t(std::llround(seconds * 1e9));
}

std::vector<VcdWriter::Signal> signalsOf(uint32_t pins)
{
    std::vector<VcdWriter::Signal> signals;
    for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
        if ((pins >> pin & 1u) != 0) {
            const char* signal = port0PinNames(pin).signal;
            signals.push_back({"P0_" + std::to_string(pin), pinComment(pin), signal != nullptr ? signal : ""});
        }
    }
    return signals;
}

}  // namespace

std::string pinComment(unsigned pin)
{
    const PinNames& names = port0PinNames(pin);
    std::string text = "P0_" + std::to_string(pin) + ":";
    static const char* const kValues[] = {"00", "01", "10", "11"};
    bool any = false;
    for (size_t value = 0; value < names.functions.size(); ++value) {
        if (names.functions[value] != nullptr) {
            text += std::string(any ? "," : "") + " PINSEL " + kValues[value] + " " + names.functions[value];
            any = true;
        }
    }
    if (!any) {
        text += " reserved, no pin of the chip";
    }
    text += names.board != nullptr ? std::string("; on the board: ") + names.board : std::string("; free on the board");
    return text;
}

struct PinTrace::State {
    State(const std::string& path, uint32_t traced)
        : writer(path, signalsOf(traced), "boardsim, the LPC2294 board simulator"), mask(traced)
    {
        index.fill(-1);
        int next = 0;
        for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
            if ((traced >> pin & 1u) != 0) {
                index[pin] = next++;
            }
        }
    }

    void heard(unsigned pin, bool level, double time)
    {
        writer.change(size_t(index[pin]), level, nanoseconds(offset + time));
        if (writer.failed() && !stopAsked && board != nullptr) {
            stopAsked = true;  // a run that cannot be traced any more ends
            board->requestStop();
        }
    }

    // Every traced pin's level now, as changes at `time` (or the start).
    void take(Board& from, double time)
    {
        const uint32_t levels = from.machine().pins().levels();
        std::vector<bool> values;
        for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
            if (index[pin] >= 0) {
                values.push_back((levels >> pin & 1u) != 0);
            }
        }
        if (!started) {
            writer.start(values, nanoseconds(time));
            started = true;
            return;
        }
        for (size_t i = 0; i < values.size(); ++i) {
            writer.change(i, values[i], nanoseconds(time));
        }
    }

    VcdWriter writer;
    uint32_t mask;
    std::array<int, Pins::kCount> index{};
    bool started = false;
    bool finished = false;
    Board* board = nullptr;
    uint64_t generation = 0;  // a listener of a board let go hears nothing
    double offset = 0;        // where on the trace's axis the attached board's reset is
    bool stopAsked = false;
};

PinTrace::PinTrace(const std::string& path, uint32_t pins) : state_(std::make_shared<State>(path, pins)) {}

PinTrace::~PinTrace()
{
    ++state_->generation;
    if (!state_->finished) {
        state_->writer.abandon();
    }
}

void PinTrace::attach(Board& board)
{
    if (state_->finished) {
        throw std::logic_error("a finished pin trace takes no more boards");
    }
    detach();
    State& state = *state_;
    state.take(board, state.offset + board.seconds());
    state.board = &board;
    state.stopAsked = false;
    const uint64_t generation = ++state.generation;
    board.machine().pins().listen(state.mask, [shared = state_, generation](unsigned pin, bool level, double time) {
        if (shared->generation == generation) {
            shared->heard(pin, level, time);
        }
    });
}

void PinTrace::detach()
{
    State& state = *state_;
    if (state.board == nullptr) {
        return;
    }
    state.board->machine().pins().catchUp();  // what is due up to now, delivered
    state.offset += state.board->seconds();
    state.board = nullptr;
    ++state.generation;
}

void PinTrace::finish()
{
    detach();
    State& state = *state_;
    state.finished = true;
    state.writer.finish(nanoseconds(state.offset));
}

uint64_t PinTrace::changes() const
{
    return state_->writer.changes();
}

}  // namespace boardsim
