#include "frontends/web/scope.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

#include <fftw3.h>

namespace boardsim {
namespace {

constexpr size_t kMaxSteps = 400'000;       // 2 s of changes at 200 kHz
constexpr size_t kMaxFft = 65536;
constexpr size_t kMinFft = 64;
constexpr double kSpectrumSpan = 1.0;       // seconds looked at, at most
constexpr double kMinRate = 1000;           // resampling rate bounds, Hz
constexpr double kMaxRate = 1e6;
constexpr double kQuietDbv = -200;          // what a bin of nothing at all reads
constexpr double kUntriggeredSpan = 0.02;
constexpr double kPeriodsShown = 3;
constexpr size_t kCrossingsForTone = 3;
constexpr double kPi = 3.14159265358979323846;

// The output's held level at `count` moments `step` apart from `from`.
template <typename Steps>
std::vector<double> sampleHeld(const Steps& steps, double initial, double from, double step, size_t count)
{
    std::vector<double> out(count);
    auto next = std::upper_bound(steps.begin(), steps.end(), from,
                                 [](double t, const auto& s) { return t < s.time; });
    double level = next == steps.begin() ? initial : std::prev(next)->volts;
    for (size_t i = 0; i < count; ++i) {
        const double t = from + double(i) * step;
        while (next != steps.end() && next->time <= t) {
            level = next->volts;
            ++next;
        }
        out[i] = level;
    }
    return out;
}

size_t powerOfTwoBelow(double n)
{
    size_t p = 1;
    while (double(p * 2) <= n && p * 2 <= kMaxFft) {
        p *= 2;
    }
    return p;
}

// A flat-top window: a tone reads at its level within a hundredth of a dB
// wherever it falls between two bins, which is what a scope's reading needs.
double flatTop(size_t i, size_t n)
{
    static constexpr std::array<double, 5> kTerms = {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368};
    const double phase = 2 * kPi * double(i) / double(n);
    double w = 0;
    for (size_t k = 0; k < kTerms.size(); ++k) {
        w += (k % 2 == 0 ? 1 : -1) * kTerms[k] * std::cos(double(k) * phase);
    }
    return w;
}

struct Spectrum {
    double mean = 0;          // the windowed mean: whole periods or not, the level it sits at
    std::vector<double> dbv;  // from 0 Hz
};

// The amplitude spectrum of `samples` in dBV, the mean taken out first.
Spectrum dbvSpectrum(std::vector<double> samples)
{
    const size_t n = samples.size();
    std::vector<double> window(n);
    double windowSum = 0;
    double weighted = 0;
    for (size_t i = 0; i < n; ++i) {
        window[i] = flatTop(i, n);
        windowSum += window[i];
        weighted += window[i] * samples[i];
    }
    Spectrum spectrum;
    spectrum.mean = weighted / windowSum;
    for (size_t i = 0; i < n; ++i) {
        samples[i] = (samples[i] - spectrum.mean) * window[i];
    }
    std::vector<fftw_complex> bins(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(int(n), samples.data(), bins.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    spectrum.dbv.resize(bins.size());
    for (size_t k = 0; k < bins.size(); ++k) {
        const double peak = 2 * std::hypot(bins[k][0], bins[k][1]) / windowSum;
        const double rms = peak / std::sqrt(2.0);
        spectrum.dbv[k] = rms > 0 ? std::max(kQuietDbv, 20 * std::log10(rms)) : kQuietDbv;
    }
    return spectrum;
}

}  // namespace

Scope::Scope(std::vector<std::string> names)
{
    std::transform(names.begin(), names.end(), std::back_inserter(outputs_),
                   [](std::string& name) { return Output{std::move(name), {}, 0, false}; });
}

void Scope::add(unsigned output, double time, double volts)
{
    if (output >= outputs_.size()) {
        return;
    }
    Output& out = outputs_[output];
    const double before = out.steps.empty() ? out.initial : out.steps.back().volts;
    if (volts == before && !out.steps.empty()) {
        return;
    }
    out.changed = out.changed || volts != before;
    out.steps.push_back({time, volts});
    while (out.steps.size() > 1 && (out.steps[1].time < time - kHistory || out.steps.size() > kMaxSteps)) {
        out.initial = out.steps.front().volts;
        out.steps.pop_front();
    }
    changed_ = true;
}

bool Scope::played() const
{
    return std::any_of(outputs_.begin(), outputs_.end(), [](const Output& o) { return o.changed; });
}

void Scope::reset()
{
    for (Output& out : outputs_) {
        out.steps.clear();
        out.initial = 0;
        out.changed = false;
    }
    changed_ = true;
}

std::vector<ScopeView> Scope::view(double now)
{
    changed_ = false;
    std::vector<ScopeView> views;
    for (const Output& out : outputs_) {
        if (out.changed) {
            views.push_back(viewOf(out, now));
        }
    }
    return views;
}

ScopeView Scope::viewOf(const Output& out, double now)
{
    ScopeView result;
    result.name = out.name;
    const double start = std::max(out.steps.front().time, now - kHistory);
    const double duration = now - start;
    if (!(duration > 0)) {
        result.minVolts = result.maxVolts = result.meanVolts = out.steps.back().volts;
        return result;
    }
    const auto changes = out.steps.end() - std::lower_bound(out.steps.begin(), out.steps.end(), start,
                                                            [](const Step& s, double t) { return s.time < t; });
    result.changeHz = double(changes) / duration;

    // The spectrum: the recent stretch sampled as finely as the transform's
    // length allows, and well above the rate the output changes at.
    const double stretch = std::min(duration, kSpectrumSpan);
    const double rate = std::clamp(std::max(4 * result.changeHz, double(kMaxFft) / stretch), kMinRate, kMaxRate);
    const size_t length = powerOfTwoBelow(stretch * rate);
    if (length >= kMinFft) {
        const std::vector<double> samples =
            sampleHeld(out.steps, out.initial, now - double(length) / rate, 1 / rate, length);
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        result.minVolts = *low;
        result.maxVolts = *high;
        const Spectrum spectrum = dbvSpectrum(samples);
        result.meanVolts = spectrum.mean;
        const std::vector<double>& dbv = spectrum.dbv;
        const double binHz = rate / double(length);
        const auto peak = std::max_element(dbv.begin() + 2, dbv.end() - 1);
        if (*peak > kQuietDbv) {
            // Where between the bins the peak lies (a parabola through three).
            const double a = *(peak - 1);
            const double b = *peak;
            const double c = *(peak + 1);
            const double denominator = a - 2 * b + c;
            const double offset = denominator != 0 ? 0.5 * (a - c) / denominator : 0;
            result.spectrum.peakHz = (double(peak - dbv.begin()) + offset) * binHz;
            result.spectrum.peakDbv = b;
        }
        const size_t group = (dbv.size() + kSpectrumPoints - 1) / kSpectrumPoints;
        result.spectrum.binHz = binHz * double(group);
        for (size_t k = 0; k < dbv.size(); k += group) {
            result.spectrum.dbv.push_back(*std::max_element(dbv.begin() + ptrdiff_t(k),
                                                          dbv.begin() + ptrdiff_t(std::min(dbv.size(), k + group))));
        }
    } else {
        result.minVolts = result.maxVolts = result.meanVolts = out.steps.back().volts;
    }

    // The waveform: a few periods, from the last rising crossing of the
    // middle that leaves them all in result. An output that crossed its middle
    // upwards fewer than kPeriodsForTone times has no tone, whatever its
    // spectrum's largest bin.
    const double middle = (result.minVolts + result.maxVolts) / 2;
    std::vector<double> crossings;
    double previous = out.initial;
    for (const Step& s : out.steps) {
        if (s.time >= start && previous < middle && s.volts >= middle) {
            crossings.push_back(s.time);
        }
        previous = s.volts;
    }
    if (crossings.size() < kCrossingsForTone) {
        result.spectrum.peakHz = 0;
    }
    double span = result.spectrum.peakHz > 0 ? kPeriodsShown / result.spectrum.peakHz : kUntriggeredSpan;
    span = std::min(span, duration);
    ScopeTrace& trace = result.trace;
    trace.from = now - span;
    const auto trigger = std::upper_bound(crossings.begin(), crossings.end(), now - span);
    if (trigger != crossings.begin()) {
        trace.from = *std::prev(trigger);
        trace.triggered = true;
    }
    trace.step = span / double(kTracePoints);
    trace.volts = sampleHeld(out.steps, out.initial, trace.from, trace.step, kTracePoints);
    return result;
}

}  // namespace boardsim
