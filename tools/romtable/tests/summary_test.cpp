// What show reports for each kind: which option, range in codes and volts,
// period and phase.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <utility>

#include "kinds.h"
#include "table_format.h"
#include "test_tables.h"
#include "waveform_fit.h"

namespace {

struct PeriodAndPhase {
    double period;
    double phase;
};

// The period and phase as romtable found them with a discrete Fourier
// transform written out, one sum per frequency: the library's transform must
// find the same.
PeriodAndPhase period_by_direct_sums(const Table& table, const std::vector<double>& v)
{
    const double pi = 3.14159265358979323846;
    const std::size_t n = static_cast<std::size_t>(table.depth);
    std::vector<double> cosines(n);
    for (std::size_t j = 0; j < n; ++j) {
        cosines[j] = std::cos(2 * pi * static_cast<double>(j) / static_cast<double>(n));
    }
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    int cycles = 0;
    double phase = 0;
    double best_power = -1;
    const std::size_t spacing = table.step > 0 ? static_cast<std::size_t>(table.step) : 1;
    const std::size_t highest = std::max<std::size_t>(1, n / (2 * spacing));
    for (std::size_t k = 1; k <= highest; ++k) {
        double s = 0;
        double c = 0;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const std::size_t at = (k * (table.indices[i] % n)) % n;
            c += (v[i] - mean) * cosines[at];
            s += (v[i] - mean) * cosines[(at + n - n / 4) % n];
        }
        const double power = s * s + c * c;
        if (power > best_power * (1 + 1e-9)) {
            best_power = power;
            cycles = static_cast<int>(k);
            phase = std::atan2(c, s) * 180 / pi;
        }
    }
    return {static_cast<double>(table.depth) / cycles, phase};
}

}  // namespace

TEST(Summary, PeriodAndPhaseAsTheDirectSumsFoundThem)
{
    std::vector<std::pair<int, int32_t>> tables;
    for (int option = 1; option <= 9; ++option) {
        tables.emplace_back(option, 1);
    }
    for (int32_t step : {2, 3, 7, 64, 100, 1000, 2047, 4095, -3}) {
        tables.emplace_back(7, step);
        tables.emplace_back(8, step);
    }
    for (const auto& [option, step] : tables) {
        const Table t = check_table(sample_table(option, step)).table;
        if (t.values.size() < MIN_ENTRIES_FOR_PERIOD) {
            continue;
        }
        const Summary s = summarize(t);
        const PeriodAndPhase direct = period_by_direct_sums(t, entry_volts(t, s.converter));
        EXPECT_EQ(s.period_samples, direct.period) << option << " " << step;
        EXPECT_NEAR(s.phase_degrees, direct.phase, 1e-9) << option << " " << step;
        // as show prints it, down to the sign of a phase of nothing
        char printed[2][32];
        std::snprintf(printed[0], sizeof printed[0], "%.1f", s.phase_degrees);
        std::snprintf(printed[1], sizeof printed[1], "%.1f", direct.phase);
        EXPECT_STREQ(printed[0], printed[1]) << option << " " << step;
    }
}

TEST(Summary, EveryKindNamedWithItsRangePeriodAndPhase)
{
    struct Expected {
        int option;
        std::vector<int> options;
        uint32_t min_code;
        uint32_t max_code;
        double max_volts;
        double phase;
    };
    for (const Expected& e : {
             Expected{1, {1}, 0, 1372, 343 * 2.98 / 1024, 0},
             Expected{2, {2}, 0, 1372, 343 * 2.98 / 1024, 90},
             Expected{3, {3}, 0, 1372, 343 * 2.98 / 1024, 0},
             Expected{4, {4, 5}, 0, 1372, 343 * 2.98 / 1024, 0},
             Expected{5, {5}, 0, 1374, 1374 * 2.98 / 4096, 0},
             Expected{6, {6}, 1374, 2748, 2748 * 2.98 / 4096, 0},
             Expected{7, {7}, 0, 1374, 1374 * 2.98 / 4096, 0},
             Expected{8, {8}, 1374, 2748, 2748 * 2.98 / 4096, 0},
             Expected{9, {9}, 0, 2703, 2703 * 1.5 / 4096, 0},
         }) {
        const Summary s = summarize(check_table(sample_table(e.option)).table);
        EXPECT_EQ(s.options, e.options) << e.option;
        EXPECT_EQ(s.min_code, e.min_code) << e.option;
        EXPECT_EQ(s.max_code, e.max_code) << e.option;
        EXPECT_DOUBLE_EQ(s.max_volts, e.max_volts) << e.option;
        EXPECT_DOUBLE_EQ(s.period_samples, 4096) << e.option;
        EXPECT_NEAR(s.phase_degrees, e.phase, 0.5) << e.option;
        EXPECT_NE(s.kind.find("option " + std::to_string(e.options.back())), std::string::npos) << s.kind;
    }
}

TEST(Summary, StepTablesKeepThePeriodInSamples)
{
    const Summary s = summarize(check_table(sample_table(8, 7)).table);
    EXPECT_DOUBLE_EQ(s.period_samples, 4096);
    EXPECT_NEAR(s.phase_degrees, 0, 0.5);
    const Summary few = summarize(check_table(sample_table(7, -1)).table);
    EXPECT_EQ(few.period_samples, 0);  // two entries tell no period
}

TEST(Summary, SeesAPeriodOtherThanTheTable)
{
    // Options 1's codes of q, written at q / 2: two periods per table, a
    // waveform no option makes, which a checker would pass.
    const Table one = check_table(sample_table(1)).table;
    Table twice = one;
    for (std::size_t i = 0; i < twice.values.size(); ++i) {
        twice.values[i] = one.values[(2 * i + 1) % one.values.size()];
    }
    const Summary s = summarize(twice);
    EXPECT_DOUBLE_EQ(s.period_samples, 2048);
}
