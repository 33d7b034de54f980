#include "frontends/signal/signal_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace boardsim {
namespace {

// An interval counts as steady within this share of the median interval.
constexpr double kSteadyShare = 0.5;

// The integral of a step's voltage over [a, b], both at or after its time.
double area(const Tlv5618::Step& s, double a, double b)
{
    if (b <= a) {
        return 0;
    }
    if (s.tau <= 0) {
        return s.target * (b - a);
    }
    const double decayed = std::exp(-(a - s.time) / s.tau) - std::exp(-(b - s.time) / s.tau);
    return s.target * (b - a) + (s.from - s.target) * s.tau * decayed;
}

// The smallest p with values[i] == values[i + p] over the longest stretch at
// the end of `values` that holds at least two periods; 0 when no stretch
// does. Found as the prefix function (Knuth-Morris-Pratt) of the values read
// backwards: the prefix of length n repeats with the smallest period
// n - pi[n - 1].
struct Repeat {
    size_t period = 0;
    size_t length = 0;  // of the stretch, in values
};
Repeat repeatingTail(const std::vector<double>& values)
{
    const size_t n = values.size();
    std::vector<size_t> pi(n, 0);
    Repeat best;
    for (size_t i = 1; i < n; ++i) {
        size_t k = pi[i - 1];
        const double value = values[n - 1 - i];
        while (k > 0 && value != values[n - 1 - k]) {
            k = pi[k - 1];
        }
        if (value == values[n - 1 - k]) {
            ++k;
        }
        pi[i] = k;
        const size_t length = i + 1;
        const size_t period = length - k;
        if (2 * period <= length) {
            best = {period, length};
        }
    }
    return best;
}

struct Fit {
    double rms = 0;
    double peakToPeak = 0;
    double interval = 0;
};
// The update instants against the even grid that fits them best (least
// squares).
Fit fitGrid(const std::vector<Tlv5618::Step>& steps, size_t first, size_t count)
{
    const double t0 = steps[first].time;
    double meanI = 0;
    double meanT = 0;
    for (size_t i = 0; i < count; ++i) {
        meanI += double(i);
        meanT += steps[first + i].time - t0;
    }
    meanI /= double(count);
    meanT /= double(count);
    double sii = 0;
    double sit = 0;
    for (size_t i = 0; i < count; ++i) {
        const double di = double(i) - meanI;
        sii += di * di;
        sit += di * (steps[first + i].time - t0 - meanT);
    }
    Fit fit;
    fit.interval = sit / sii;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    double squares = 0;
    for (size_t i = 0; i < count; ++i) {
        const double residual = steps[first + i].time - t0 - meanT - fit.interval * (double(i) - meanI);
        low = std::min(low, residual);
        high = std::max(high, residual);
        squares += residual * residual;
    }
    fit.rms = std::sqrt(squares / double(count));
    fit.peakToPeak = high - low;
    return fit;
}

// The updates of the latest steady stretch: [begin, end) of `steps`.
std::pair<size_t, size_t> steadyStretch(const std::vector<Tlv5618::Step>& steps, size_t begin, size_t end)
{
    std::vector<double> intervals;
    for (size_t i = begin + 1; i < end; ++i) {
        intervals.push_back(steps[i].time - steps[i - 1].time);
    }
    std::vector<double> sorted = intervals;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];
    size_t first = end - 1;
    while (first > begin) {
        const double interval = intervals[first - begin - 1];
        if (std::fabs(interval - median) > kSteadyShare * median) {
            break;
        }
        --first;
    }
    return {first, end};
}

std::string figure(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::vector<double> intervalAverages(const std::vector<Tlv5618::Step>& steps, double start, double span,
                                     size_t count)
{
    std::vector<double> averages(count);
    size_t k = 0;
    while (k + 1 < steps.size() && steps[k + 1].time <= start) {
        ++k;
    }
    for (size_t j = 0; j < count; ++j) {
        const double a = start + span * double(j) / double(count);
        const double b = start + span * double(j + 1) / double(count);
        double sum = 0;
        double at = a;
        for (;;) {
            const double next = k + 1 < steps.size() ? steps[k + 1].time : std::numeric_limits<double>::infinity();
            sum += area(steps[k], std::max(at, steps[k].time), std::min(b, next));
            if (next >= b) {
                break;
            }
            at = next;
            ++k;
        }
        averages[j] = sum / (b - a);
    }
    return averages;
}

SignalFigures measureSignal(const DacRecording::Output& recorded, unsigned output, double from, double to)
{
    SignalFigures f;
    f.output = output;
    const std::vector<Tlv5618::Step>& steps = recorded.steps;
    const auto timeOf = [](const Tlv5618::Step& s, double t) { return s.time < t; };
    const auto begin = size_t(std::lower_bound(steps.begin(), steps.end(), from, timeOf) - steps.begin());
    const auto end = size_t(std::upper_bound(steps.begin(), steps.end(), to,
                                             [](double t, const Tlv5618::Step& s) { return t < s.time; }) -
                            steps.begin());
    f.updates = end > begin ? end - begin : 0;
    if (f.updates > 0) {
        const auto [low, high] =
            std::minmax_element(steps.begin() + std::ptrdiff_t(begin), steps.begin() + std::ptrdiff_t(end),
                                [](const Tlv5618::Step& a, const Tlv5618::Step& b) { return a.target < b.target; });
        f.minVolts = low->target;
        f.maxVolts = high->target;
    }
    if (f.updates < 3) {
        f.note = std::to_string(f.updates) + " update" + (f.updates == 1 ? "" : "s") +
                 " of the output: too few for any figure";
        f.spectrum.note = no_figures(f.note);
        return f;
    }

    const auto [first, last] = steadyStretch(steps, begin, end);
    f.steadyUpdates = last - first;
    if (f.steadyUpdates < 3) {
        f.note = "the updates come at no steady rate";
        f.spectrum.note = no_figures(f.note);
        return f;
    }
    std::vector<double> values;
    values.reserve(last - first);
    for (size_t i = first; i < last; ++i) {
        values.push_back(steps[i].target);
    }
    const Repeat repeat = repeatingTail(values);
    // The stretch measured: whole periods with the instant that starts the
    // next one, else the steady stretch as it is.
    size_t window = last - first;
    size_t periods = 0;
    if (repeat.period > 0) {
        periods = (repeat.length - 1) / repeat.period;
        periods = std::min(periods, std::max<size_t>(1, kMaxSpectrumSamples / repeat.period));
        window = periods * repeat.period + 1;
    }
    const size_t start = last - window;
    const Fit fit = fitGrid(steps, start, window);
    f.updateHz = 1 / fit.interval;
    f.jitterRms = fit.rms;
    f.jitterPeakToPeak = fit.peakToPeak;
    f.measuredFrom = steps[start].time;
    f.measuredTo = steps[last - 1].time;
    if (periods == 0) {
        f.note = "the output's values do not repeat over " + std::to_string(last - first) + " steady updates";
        f.spectrum.note = no_figures(f.note);
        return f;
    }
    f.periodUpdates = repeat.period;
    f.periods = periods;
    const double span = f.measuredTo - f.measuredFrom;
    f.frequencyHz = double(periods) / span;
    // The steps from the one in force at the start on.
    const std::vector<Tlv5618::Step> inForce(steps.begin() + std::ptrdiff_t(start), steps.begin() + std::ptrdiff_t(last));
    f.spectrum = measure_period(intervalAverages(inForce, f.measuredFrom, span, periods * repeat.period),
                                Tlv5618::kReferenceVolts);
    if (f.spectrum.measured) {
        f.spectrum.note = std::to_string(periods) + " period" + (periods == 1 ? "" : "s") + " of " +
                          std::to_string(repeat.period) + " updates";
    }
    return f;
}

std::string signalSummary(const SignalFigures& f)
{
    std::string text;
    text += f.frequencyHz ? figure("%.4g Hz, ", *f.frequencyHz) : std::string("no period, ");
    text += figure("%.3f V", f.minVolts) + figure(" to %.3f V", f.maxVolts);
    if (f.spectrum.measured) {
        text += figure(", SFDR %.1f dBc", f.spectrum.sfdr_dbc);
    }
    if (f.updateHz) {
        text += figure(", %.1f updates/s", *f.updateHz);
    }
    return text;
}

}  // namespace boardsim
