// A DAC output's figures from its steps: the update rate and the jitter of
// the update instants, the repeating waveform's period and frequency over
// the latest steady stretch, and the spectrum of its whole periods, which
// for an output that follows a table ideally are the table's own figures.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "frontends/signal/signal_figures.h"

using namespace boardsim;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 28800;

// One period of a 0 ... 1 V sine in `entries` 12-bit codes, as volts.
std::vector<double> sineTable(size_t entries)
{
    std::vector<double> volts;
    for (size_t k = 0; k < entries; ++k) {
        const double code = std::round(687 + 686 * std::sin(2 * kPi * double(k) / double(entries)));
        volts.push_back(Tlv5618::voltsOf(uint16_t(code)));
    }
    return volts;
}

// `table` played `periods` times from `start` at kRate, each update moved by
// `shift(i)` seconds; outputs jump (no settling).
void play(DacRecording::Output& out, const std::vector<double>& table, size_t periods, double start,
          const std::function<double(size_t)>& shift = nullptr)
{
    const double from = out.steps.empty() ? 0 : out.steps.back().target;
    for (size_t i = 0; i < periods * table.size(); ++i) {
        const double t = start + double(i) / kRate + (shift ? shift(i) : 0);
        out.steps.push_back({t, i == 0 ? from : table[(i - 1) % table.size()], table[i % table.size()], 0});
    }
}

}  // namespace

TEST(SignalFigures, ATablePlayedOnAnEvenGridGivesTheTablesOwnFigures)
{
    const std::vector<double> table = sineTable(64);
    DacRecording::Output out;
    out.steps.push_back({0.01, 0, 0, 0});  // a stop word long before: not part of the steady stretch
    play(out, table, 10, 0.5);
    const SignalFigures f = measureSignal(out, Tlv5618::kB, 0, 1);
    EXPECT_EQ(f.updates, 641u);
    EXPECT_EQ(f.steadyUpdates, 640u);
    ASSERT_TRUE(f.updateHz);
    EXPECT_NEAR(*f.updateHz, kRate, 1e-6);
    EXPECT_LT(*f.jitterPeakToPeak, 1e-12);
    EXPECT_EQ(f.periodUpdates, 64u);
    EXPECT_EQ(f.periods, 9u) << "whole periods with the update that starts the next";
    ASSERT_TRUE(f.frequencyHz);
    EXPECT_NEAR(*f.frequencyHz, 450, 1e-6);
    EXPECT_DOUBLE_EQ(f.minVolts, 0) << "the stop word counts towards the swing";
    EXPECT_DOUBLE_EQ(f.maxVolts, *std::max_element(table.begin(), table.end()));
    const SpectralFigures ideal = measure_period(table, Tlv5618::kReferenceVolts);
    ASSERT_TRUE(f.spectrum.measured) << f.spectrum.note;
    EXPECT_EQ(f.spectrum.fundamental_bin, 9u);
    EXPECT_EQ(f.spectrum.spur_bin, 9 * ideal.spur_bin);
    EXPECT_NEAR(f.spectrum.sfdr_dbc, ideal.sfdr_dbc, 1e-6);
    EXPECT_NEAR(f.spectrum.thd_db, ideal.thd_db, 1e-6);
    EXPECT_NEAR(f.spectrum.sinad_db, ideal.sinad_db, 1e-6);
    const std::string summary = signalSummary(f);
    EXPECT_EQ(summary.rfind("450 Hz, 0.000 V to 0.999 V, SFDR ", 0), 0u) << summary;
    EXPECT_NE(summary.find(" dBc, 28800.0 updates/s"), std::string::npos) << summary;
}

TEST(SignalFigures, JitterIsTheInstantsDeviationFromAnEvenGridAndCostsSpectralPurity)
{
    const std::vector<double> table = sineTable(64);
    const double wobble = 2e-6;  // every other update 2 us late: +-1 us about the fitted grid
    DacRecording::Output out;
    play(out, table, 8, 0.1, [&](size_t i) { return i % 2 == 1 ? wobble : 0; });
    const SignalFigures f = measureSignal(out, Tlv5618::kB, 0, 1);
    ASSERT_TRUE(f.jitterRms && f.spectrum.measured) << f.note;
    EXPECT_NEAR(*f.jitterRms, wobble / 2, 1e-9);
    EXPECT_NEAR(*f.jitterPeakToPeak, wobble, 1e-9);
    EXPECT_NEAR(*f.updateHz, kRate, 1e-3);
    EXPECT_EQ(f.periodUpdates, 64u) << "the values repeat whatever the instants";
    const SpectralFigures ideal = measure_period(table, Tlv5618::kReferenceVolts);
    EXPECT_LT(f.spectrum.sinad_db, ideal.sinad_db - 0.5) << "late edges are error the table does not have";
}

TEST(SignalFigures, TheLatestRepeatingStretchIsMeasuredAndNoRepeatMeansNoPeriod)
{
    // A table switched for one twice as fast at the same update rate.
    DacRecording::Output out;
    play(out, sineTable(64), 5, 0.1);
    play(out, sineTable(32), 6, out.steps.back().time + 1 / kRate);
    const SignalFigures switched = measureSignal(out, Tlv5618::kB, 0, 1);
    EXPECT_EQ(switched.periodUpdates, 32u);
    ASSERT_TRUE(switched.frequencyHz);
    EXPECT_NEAR(*switched.frequencyHz, 900, 1e-6);
    EXPECT_GT(switched.measuredFrom, 0.1 + 320 / kRate - 1e-9) << "only the latest table";
    // Only the first table: a stretch of the run.
    const SignalFigures first = measureSignal(out, Tlv5618::kB, 0, 0.1 + 319.5 / kRate);
    EXPECT_EQ(first.periodUpdates, 64u);

    std::mt19937 random(7);
    DacRecording::Output noise;
    for (int i = 0; i < 500; ++i) {
        noise.steps.push_back({0.1 + i / kRate, 0, Tlv5618::voltsOf(uint16_t(random() % 4096)), 0});
    }
    const SignalFigures none = measureSignal(noise, Tlv5618::kA, 0, 1);
    EXPECT_FALSE(none.frequencyHz);
    EXPECT_FALSE(none.spectrum.measured);
    EXPECT_NE(none.note.find("do not repeat"), std::string::npos) << none.note;
    ASSERT_TRUE(none.updateHz) << "the rate is known all the same";
    EXPECT_NEAR(*none.updateHz, kRate, 1e-6);

    DacRecording::Output two;
    two.steps = {{0.1, 0, 1, 0}, {0.2, 1, 0, 0}};
    EXPECT_FALSE(measureSignal(two, Tlv5618::kA, 0, 1).updateHz);
    EXPECT_EQ(measureSignal(two, Tlv5618::kA, 0, 1).updates, 2u);
}

TEST(SignalFigures, EachIntervalsAverageWeighsTheValuesByTheirTimeInItSettlingIncluded)
{
    // 1 V from 0; 2 V from a quarter into the second interval; 0 V settling
    // from 2 V with tau 0.1 at the start of the third.
    const std::vector<Tlv5618::Step> steps = {{0, 0, 1, 0}, {1.25, 1, 2, 0}, {2, 2, 0, 0.1}};
    const std::vector<double> averages = intervalAverages(steps, 0, 3, 3);
    ASSERT_EQ(averages.size(), 3u);
    EXPECT_DOUBLE_EQ(averages[0], 1);
    EXPECT_DOUBLE_EQ(averages[1], 0.25 * 1 + 0.75 * 2);
    EXPECT_NEAR(averages[2], 2 * 0.1 * (1 - std::exp(-10.0)), 1e-12) << "the area the settling leaves";
}
