#include "frontends/trace/pin_activity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "machine/pin_names.h"

namespace boardsim {
namespace {

// Rising-edge intervals kept per pin to find its pace: enough for a median,
// bounded however long the run.
constexpr size_t kIntervalsKept = 4096;
// A pace is told when at least this share of the intervals lies within
// kPaceTolerance of their median.
constexpr double kPaceShare = 0.8;
constexpr double kPaceTolerance = 0.1;
constexpr size_t kPaceMinIntervals = 4;

struct PinRecord {
    uint64_t edges = 0;
    double first = 0;
    double last = 0;
    bool level = true;
    double since = 0;     // when the pin took its present level
    double highTime = 0;  // up to `since`
    double lastRise = -1;
    std::vector<double> intervals;
};

// The median interval, if most intervals lie near it.
double pace(std::vector<double> intervals)
{
    if (intervals.size() < kPaceMinIntervals) {
        return 0;
    }
    const auto middle = intervals.begin() + std::ptrdiff_t(intervals.size() / 2);
    std::nth_element(intervals.begin(), middle, intervals.end());
    const double median = *middle;
    const auto near = std::count_if(intervals.begin(), intervals.end(),
                                    [&](double i) { return std::fabs(i - median) <= kPaceTolerance * median; });
    return median > 0 && double(near) >= kPaceShare * double(intervals.size()) ? median : 0;
}

std::string frequencyText(double hz)
{
    char text[32];
    if (hz >= 1e6) {
        std::snprintf(text, sizeof text, "%.4g MHz", hz / 1e6);
    } else if (hz >= 1e3) {
        std::snprintf(text, sizeof text, "%.4g kHz", hz / 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.4g Hz", hz);
    }
    return text;
}

}  // namespace

struct PinActivity::State {
    std::array<PinRecord, Pins::kCount> pins{};
    uint32_t printed = 0;
    EdgePrinter edge;
    Board* board = nullptr;
    uint64_t generation = 0;  // a board let go is heard no more
    double start = 0;

    void heard(unsigned pin, bool level, double time)
    {
        PinRecord& r = pins[pin];
        if (r.edges++ == 0) {
            r.first = time;
        }
        r.last = time;
        if (r.level) {
            r.highTime += time - r.since;
        }
        r.level = level;
        r.since = time;
        if (level) {
            if (r.lastRise >= 0 && r.intervals.size() < kIntervalsKept) {
                r.intervals.push_back(time - r.lastRise);
            }
            r.lastRise = time;
        }
        if ((printed >> pin & 1u) != 0 && edge && board != nullptr) {
            edge(board->instructions(), time, pin, level);
        }
    }
};

PinActivity::PinActivity(uint32_t printed, EdgePrinter edge) : state_(std::make_shared<State>())
{
    state_->printed = printed;
    state_->edge = std::move(edge);
}

PinActivity::~PinActivity()
{
    ++state_->generation;
}

void PinActivity::attach(Board& board)
{
    State& state = *state_;
    state.board = &board;
    state.start = board.seconds();
    const uint32_t levels = board.machine().pins().levels();
    for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
        state.pins[pin].level = (levels >> pin & 1u) != 0;
        state.pins[pin].since = state.start;
    }
    const uint64_t generation = ++state.generation;
    board.machine().pins().listen(0xFFFFFFFFu, [shared = state_, generation](unsigned pin, bool level, double time) {
        if (shared->generation == generation) {
            shared->heard(pin, level, time);
        }
    });
}

std::vector<std::string> PinActivity::summary(double end) const
{
    std::vector<std::string> lines;
    const double length = end - state_->start;
    for (unsigned pin = 0; pin < Pins::kCount; ++pin) {
        const PinRecord& r = state_->pins[pin];
        if (r.edges == 0) {
            continue;
        }
        const double high = r.highTime + (r.level ? end - r.since : 0);
        char share[48];
        std::snprintf(share, sizeof share, "high %.1f %% of the time", length > 0 ? 100 * high / length : 0.0);
        std::string text = describePin(pin) + ": " + std::to_string(r.edges) + (r.edges == 1 ? " edge at " : " edges from ") +
                           durationText(r.first) + (r.edges == 1 ? "" : " to " + durationText(r.last)) + ", " + share;
        const double period = pace(r.intervals);
        if (period > 0) {
            text += ", rising every " + durationText(period) + " (" + frequencyText(1 / period) + ")";
        }
        lines.push_back(text);
    }
    return lines;
}

}  // namespace boardsim
