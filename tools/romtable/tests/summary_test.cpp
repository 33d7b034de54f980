// What show reports for each kind: which option, range in codes and volts,
// period and phase.
#include <gtest/gtest.h>

#include "table_format.h"
#include "test_tables.h"
#include "waveform_fit.h"

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
