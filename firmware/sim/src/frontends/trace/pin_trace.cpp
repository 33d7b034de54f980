#include "frontends/trace/pin_trace.h"

#include <algorithm>
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

// Where an output is drawn along its settling, in time constants; the last
// point is the settled value.
constexpr std::array<double, 4> kSettlingPoints = {1, 2, 3, 5};

std::vector<VcdWriter::Signal> signalsOf(uint32_t pins, bool dac)
{
    std::vector<VcdWriter::Signal> signals;
    for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
        if ((pins >> pin & 1u) != 0) {
            const char* signal = port0PinNames(pin).signal;
            signals.push_back({"P0_" + std::to_string(pin), pinComment(pin), signal != nullptr ? signal : ""});
        }
    }
    if (dac) {
        for (unsigned output = 0; output < Tlv5618::kOutputs; ++output) {
            const std::string name = std::string("DAC_") + Tlv5618::outputName(output);
            signals.push_back({name,
                               name + ": the TLV5618's output " + Tlv5618::outputName(output) +
                                   " in volts (2 x 1.49 V x code / 4096), settling included",
                               "", true});
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
    State(const std::string& path, uint32_t traced, bool withDac)
        : writer(path, signalsOf(traced, withDac), "boardsim, the LPC2294 board simulator"), mask(traced),
          dac(withDac)
    {
        index.fill(-1);
        int next = 0;
        for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
            if ((traced >> pin & 1u) != 0) {
                index[pin] = next++;
            }
        }
        firstOutput = size_t(next);
    }

    void heard(unsigned pin, bool level, double time)
    {
        drawUpTo(offset + time);
        writer.change(size_t(index[pin]), level, nanoseconds(offset + time));
        if (writer.failed() && !stopAsked && board != nullptr) {
            stopAsked = true;  // a run that cannot be traced any more ends
            board->requestStop();
        }
    }

    // The settling points due by `time` (trace axis), in time order.
    void drawUpTo(double time)
    {
        for (;;) {
            const Point* next = nullptr;
            size_t output = 0;
            for (size_t o = 0; o < points.size(); ++o) {
                if (!points[o].empty() && points[o].front().time <= time &&
                    (next == nullptr || points[o].front().time < next->time)) {
                    next = &points[o].front();
                    output = o;
                }
            }
            if (next == nullptr) {
                return;
            }
            writer.changeReal(firstOutput + output, next->volts, nanoseconds(next->time));
            points[output].erase(points[output].begin());
        }
    }

    void stepped(unsigned output, const Tlv5618::Step& step)
    {
        const double at = offset + step.time;
        drawUpTo(at);
        points[output].clear();
        writer.changeReal(firstOutput + output, step.from, nanoseconds(at));
        if (step.tau <= 0) {
            writer.changeReal(firstOutput + output, step.target, nanoseconds(at));
            return;
        }
        for (const double n : kSettlingPoints) {
            points[output].push_back({at + n * step.tau, step.at(step.time + n * step.tau)});
        }
        points[output].push_back({at + settled(step), step.target});
    }

    // A step's settling time: a full-scale step within half an LSB.
    static double settled(const Tlv5618::Step& step) { return step.tau * std::log(2.0 * Tlv5618::kCodes); }

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
            values.resize(values.size() + (dac ? size_t{Tlv5618::kOutputs} : 0), false);  // the outputs start at 0
            writer.start(values, nanoseconds(time));
            started = true;
            return;
        }
        drawUpTo(time);
        for (size_t i = 0; i < values.size(); ++i) {
            writer.change(i, values[i], nanoseconds(time));
        }
    }

    // The outputs as the board has them now, from `time` on.
    void takeOutputs(Board& from, double time)
    {
        for (unsigned output = 0; output < Tlv5618::kOutputs; ++output) {
            const Tlv5618::Step& step = from.machine().dac().lastStep(output);
            points[output].clear();
            writer.changeReal(firstOutput + output, step.at(from.seconds()), nanoseconds(time));
            if (step.at(from.seconds()) != step.target) {
                points[output].push_back({offset + step.time + settled(step), step.target});
            }
        }
    }

    struct Point {
        double time;  // on the trace's axis
        double volts;
    };

    VcdWriter writer;
    uint32_t mask;
    bool dac;
    size_t firstOutput = 0;  // the signal number of DAC_A
    std::array<std::vector<Point>, Tlv5618::kOutputs> points;  // settling still to be drawn
    size_t dacListener = 0;
    std::array<int, Pins::kCount> index{};
    bool started = false;
    bool finished = false;
    Board* board = nullptr;
    uint64_t generation = 0;  // a listener of a board let go hears nothing
    double offset = 0;        // where on the trace's axis the attached board's reset is
    bool stopAsked = false;
};

PinTrace::PinTrace(const std::string& path, uint32_t pins, bool dac)
    : state_(std::make_shared<State>(path, pins, dac))
{
}

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
    if (state.dac) {
        state.takeOutputs(board, state.offset + board.seconds());
        state.dacListener = board.machine().dac().listen(
            [shared = state_, generation](unsigned output, const Tlv5618::Step& step) {
                if (shared->generation == generation) {
                    shared->stepped(output, step);
                }
            });
    }
}

void PinTrace::detach()
{
    State& state = *state_;
    if (state.board == nullptr) {
        return;
    }
    state.board->machine().pins().catchUp();  // what is due up to now, delivered
    if (state.dac) {
        state.board->machine().dac().unlisten(state.dacListener);
    }
    state.offset += state.board->seconds();
    state.drawUpTo(state.offset);
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
