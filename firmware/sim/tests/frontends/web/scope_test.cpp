#include <gtest/gtest.h>

#include <cmath>

#include "frontends/web/scope.h"

namespace boardsim {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A fake DAC: output 0 updated `rate` times a second with `wave(t)`, held between.
template <typename Wave>
void play(Scope& scope, double seconds, double rate, Wave wave)
{
    for (double n = 0; n < seconds * rate; ++n) {
        scope.add(0, n / rate, wave(n / rate));
    }
}

TEST(Scope, ReadsASineItsFrequencyLevelsAndUpdateRate)
{
    Scope scope({"A", "B"});
    play(scope, 1.0, 8000, [](double t) { return 1.49 + std::sin(2 * kPi * 50 * t); });
    const auto views = scope.view(1.0);
    ASSERT_EQ(views.size(), 1u) << "B never changed";
    const ScopeView& a = views[0];
    EXPECT_EQ(a.name, "A");
    EXPECT_NEAR(a.changeHz, 8000, 10);
    EXPECT_NEAR(a.minVolts, 0.49, 0.01);
    EXPECT_NEAR(a.maxVolts, 2.49, 0.01);
    EXPECT_NEAR(a.meanVolts, 1.49, 0.01);
    EXPECT_NEAR(a.spectrum.peakHz, 50, 1);
    EXPECT_NEAR(a.spectrum.peakDbv, 20 * std::log10(1 / std::sqrt(2.0)), 0.5);  // 1 V peak
    EXPECT_LE(a.spectrum.dbv.size(), Scope::kSpectrumPoints);
    // Triggered where the wave rises through its middle, three periods shown.
    ASSERT_TRUE(a.trace.triggered);
    ASSERT_EQ(a.trace.volts.size(), Scope::kTracePoints);
    EXPECT_NEAR(a.trace.volts.front(), 1.49, 0.01);
    EXPECT_GT(a.trace.volts[10], a.trace.volts.front());
    EXPECT_NEAR(a.trace.step * double(a.trace.volts.size()), 3 / 50.0, 3 / 50.0 * 0.05);
}

TEST(Scope, ShowsASquareWavesOddHarmonics)
{
    Scope scope({"A"});
    play(scope, 1.0, 20000, [](double t) { return std::fmod(t * 100, 1.0) < 0.5 ? 2.0 : 1.0; });
    const ScopeView a = scope.view(1.0).at(0);
    EXPECT_NEAR(a.spectrum.peakHz, 100, 1);
    const auto at = [&](double hz) {
        // The largest point near a frequency (the view's points are groups of bins).
        const auto k = size_t(std::lround(hz / a.spectrum.binHz));
        return std::max({a.spectrum.dbv[k - 1], a.spectrum.dbv[k], a.spectrum.dbv[k + 1]});
    };
    // A square wave's third harmonic is a third of its fundamental: 9.5 dB below.
    EXPECT_NEAR(a.spectrum.peakDbv - at(300), 20 * std::log10(3.0), 1.0);
    EXPECT_LT(at(200), at(300) - 30) << "no even harmonics";
}

TEST(Scope, KeepsOnlyWhatChangedAndForgetsOnReset)
{
    Scope scope({"A", "B"});
    EXPECT_FALSE(scope.played());
    scope.add(1, 0.1, 0);  // B written with what it holds already
    scope.add(7, 0.1, 1);  // no such output
    EXPECT_FALSE(scope.played());
    scope.add(1, 0.2, 1.5);
    EXPECT_TRUE(scope.played());
    const auto views = scope.view(0.5);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].name, "B");
    EXPECT_DOUBLE_EQ(views[0].maxVolts, 1.5);
    EXPECT_EQ(views[0].spectrum.peakHz, 0) << "a step is no tone";
    EXPECT_TRUE(views[0].trace.triggered);
    EXPECT_DOUBLE_EQ(views[0].trace.from, 0.2);
    EXPECT_FALSE(scope.changedSinceView());
    scope.reset();
    EXPECT_FALSE(scope.played());
    EXPECT_TRUE(scope.view(0.6).empty());
}

}  // namespace
}  // namespace boardsim
