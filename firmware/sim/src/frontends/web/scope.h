// An oscilloscope on the board's analogue outputs (a DAC's A and B): each
// output arrives as a stream of (time, volts), the moments it changes;
// between them it holds (a zero-order hold, as the converter does). The
// view of an output that has changed at all: its recent waveform, triggered
// on a rising crossing of its middle so that a periodic signal stands
// still, and its spectrum (flat-top window, FFTW), with the figures a person
// reads off a scope.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace boardsim {

struct ScopeTrace {
    double from = 0;  // seconds: the trigger point, or the window's start
    double step = 0;  // seconds between points
    bool triggered = false;
    std::vector<double> volts;
};

struct ScopeSpectrum {
    double binHz = 0;       // the frequency between two points
    std::vector<double> dbv;  // dBV (1 V rms = 0 dB) of each bin from 0 Hz, the largest of a group where reduced
    double peakHz = 0;        // the strongest frequency above DC, 0 when there is none
    double peakDbv = 0;
};

struct ScopeView {
    std::string name;
    double minVolts = 0;
    double maxVolts = 0;
    double meanVolts = 0;
    double changeHz = 0;  // changes per second over the history (a DAC's updates that changed it)
    ScopeTrace trace;
    ScopeSpectrum spectrum;
};

class Scope {
public:
    // One name per output ("A", "B").
    explicit Scope(std::vector<std::string> names);

    // Output `output` steps to `volts` at `time` (in time order). An output
    // index the scope lacks is ignored.
    void add(unsigned output, double time, double volts);
    // Whether any output has changed since reset().
    bool played() const;
    // Whether anything arrived since the last view.
    bool changedSinceView() const { return changed_; }
    void reset();

    // The outputs that have changed, as they look at `now`.
    std::vector<ScopeView> view(double now);

    static constexpr double kHistory = 2.0;      // seconds kept
    static constexpr size_t kTracePoints = 600;
    static constexpr size_t kSpectrumPoints = 1024;

private:
    struct Step {
        double time;
        double volts;
    };
    struct Output {
        std::string name;
        std::deque<Step> steps;
        double initial = 0;  // the level before the first kept step
        bool changed = false;
    };
    static ScopeView viewOf(const Output& output, double now);

    std::vector<Output> outputs_;
    bool changed_ = false;
};

}  // namespace boardsim
