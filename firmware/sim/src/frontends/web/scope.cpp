#include "frontends/web/scope.h"

#include <algorithm>
#include <cmath>
#include <numeric>

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

// Hann-windowed amplitude spectrum of `samples` (mean removed), in dBV.
std::vector<double> dbvSpectrum(std::vector<double> samples)
{
    const size_t n = samples.size();
    const double mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(n);
    double windowSum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * kPi * double(i) / double(n));
        samples[i] = (samples[i] - mean) * w;
        windowSum += w;
    }
    std::vector<fftw_complex> bins(n / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(int(n), samples.data(), bins.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> dbv(bins.size());
    for (size_t k = 0; k < bins.size(); ++k) {
        const double peak = 2 * std::hypot(bins[k][0], bins[k][1]) / windowSum;
        const double rms = peak / std::sqrt(2.0);
        dbv[k] = rms > 0 ? std::max(kQuietDbv, 20 * std::log10(rms)) : kQuietDbv;
    }
    return dbv;
}

}  // namespace

Scope::Scope(std::vector<std::string> names)
{
    for (std::string& name : names) {
        outputs_.push_back(Output{std::move(name), {}, 0, false});
    }
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

ScopeView Scope::viewOf(const Output& out, double now) const
{
    ScopeView view;
    view.name = out.name;
    const double start = std::max(out.steps.front().time, now - kHistory);
    const double duration = now - start;
    if (!(duration > 0)) {
        view.minVolts = view.maxVolts = view.meanVolts = out.steps.back().volts;
        return view;
    }
    const auto changes = out.steps.end() - std::lower_bound(out.steps.begin(), out.steps.end(), start,
                                                            [](const Step& s, double t) { return s.time < t; });
    view.updateHz = double(changes) / duration;

    // The spectrum: the recent stretch sampled well above the update rate.
    const double rate = std::clamp(4 * view.updateHz, kMinRate, kMaxRate);
    const size_t length = powerOfTwoBelow(std::min(duration, kSpectrumSpan) * rate);
    if (length >= kMinFft) {
        const std::vector<double> samples =
            sampleHeld(out.steps, out.initial, now - double(length) / rate, 1 / rate, length);
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        view.minVolts = *low;
        view.maxVolts = *high;
        view.meanVolts = std::accumulate(samples.begin(), samples.end(), 0.0) / double(length);
        const std::vector<double> dbv = dbvSpectrum(samples);
        const double binHz = rate / double(length);
        const auto peak = std::max_element(dbv.begin() + 2, dbv.end() - 1);
        if (*peak > kQuietDbv) {
            // Where between the bins the peak lies (a parabola through three).
            const double a = *(peak - 1);
            const double b = *peak;
            const double c = *(peak + 1);
            const double denominator = a - 2 * b + c;
            const double offset = denominator != 0 ? 0.5 * (a - c) / denominator : 0;
            view.spectrum.peakHz = (double(peak - dbv.begin()) + offset) * binHz;
            view.spectrum.peakDbv = b;
        }
        const size_t group = (dbv.size() + kSpectrumPoints - 1) / kSpectrumPoints;
        view.spectrum.binHz = binHz * double(group);
        for (size_t k = 0; k < dbv.size(); k += group) {
            view.spectrum.dbv.push_back(*std::max_element(dbv.begin() + ptrdiff_t(k),
                                                          dbv.begin() + ptrdiff_t(std::min(dbv.size(), k + group))));
        }
    } else {
        view.minVolts = view.maxVolts = view.meanVolts = out.steps.back().volts;
    }

    // The waveform: a few periods, from the last rising crossing of the
    // middle that leaves them all in view.
    double span = view.spectrum.peakHz > 0 ? kPeriodsShown / view.spectrum.peakHz : kUntriggeredSpan;
    span = std::min(span, duration);
    const double middle = (view.minVolts + view.maxVolts) / 2;
    ScopeTrace& trace = view.trace;
    trace.from = now - span;
    for (auto s = out.steps.rbegin(); s != out.steps.rend() && s->time >= start; ++s) {
        const auto before = std::next(s);
        const double previous = before == out.steps.rend() ? out.initial : before->volts;
        if (s->time <= now - span && previous < middle && s->volts >= middle) {
            trace.from = s->time;
            trace.triggered = true;
            break;
        }
    }
    trace.step = span / double(kTracePoints);
    trace.volts = sampleHeld(out.steps, out.initial, trace.from, trace.step, kTracePoints);
    return view;
}

}  // namespace boardsim
