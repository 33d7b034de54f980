// The figures of merit on waveforms whose figures are known analytically, and
// on the tables: which entries make the period measured, and when there are none.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "spectral_figures.h"
#include "spectrum_plot.h"
#include "table_format.h"
#include "test_tables.h"
#include "waveform_fit.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// cycles periods of sum over harmonics h of amplitude[h - 1] * sin(h * angle), n samples.
std::vector<double> harmonics(std::size_t n, const std::vector<double>& amplitude, std::size_t cycles = 1)
{
    std::vector<double> v(n);
    for (std::size_t j = 0; j < n; ++j) {
        const double angle = 2 * PI * static_cast<double>(j * cycles) / static_cast<double>(n);
        for (std::size_t h = 1; h <= amplitude.size(); ++h) {
            v[j] += amplitude[h - 1] * std::sin(static_cast<double>(h) * angle);
        }
    }
    return v;
}

SpectralFigures figures_of_option(int option, int32_t step = 1)
{
    const Table t = check_table(sample_table(option, step)).table;
    return table_spectrum(t, summarize(t));
}

}  // namespace

TEST(SpectralFigures, QuantisedSineGivesTheTextbookSinad)
{
    // A full-scale sine through an ideal n-bit converter: SINAD 6.02 n + 1.76 dB
    // for quantisation error spread evenly, ENOB n.
    for (int bits : {6, 8, 10, 12}) {
        const double half_range = std::ldexp(1.0, bits - 1);
        std::vector<double> v = harmonics(4096, {half_range});
        for (double& x : v) {
            x = std::round(x);
        }
        const SpectralFigures f = measure_period(v, half_range);
        ASSERT_TRUE(f.measured) << f.note;
        EXPECT_EQ(f.fundamental_bin, 1u);
        EXPECT_NEAR(f.sinad_db, 6.02 * bits + 1.76, 0.25) << bits << " bits";
        EXPECT_NEAR(f.enob_bits, bits, 0.05) << bits << " bits";
        EXPECT_NEAR(f.fundamental_dbfs, 0, 0.01);
        EXPECT_GE(f.sfdr_dbc, f.sinad_db);
    }
}

TEST(SpectralFigures, KnownHarmonicsGiveTheirThdAndSpur)
{
    // 1 V fundamental, third harmonic 10 mV and fifth 1 mV, on a 0.5 V offset:
    // THD = 20 log10(sqrt(0.01^2 + 0.001^2)) and the third is the largest spur.
    std::vector<double> v = harmonics(4096, {1, 0, 0.01, 0, 0.001});
    for (double& x : v) {
        x += 0.5;
    }
    const SpectralFigures f = measure_period(v, 2);
    ASSERT_TRUE(f.measured) << f.note;
    const double thd = 20 * std::log10(std::hypot(0.01, 0.001));
    EXPECT_NEAR(f.thd_db, thd, 1e-6);
    EXPECT_NEAR(f.sinad_db, -thd, 1e-6);  // nothing else but DC, which does not count
    EXPECT_EQ(f.spur_bin, 3u);
    EXPECT_NEAR(f.sfdr_dbc, 40, 1e-6);
    EXPECT_NEAR(f.fundamental_dbfs, 20 * std::log10(0.5), 1e-9);
    EXPECT_NEAR(f.bin_dbfs[5], 20 * std::log10(0.001 / 2), 1e-6);
    EXPECT_NEAR(f.bin_dbfs[0], 20 * std::log10(0.5 / 2) + 3.0103, 1e-3);  // DC of 0.5 V against a sine's RMS

    // The 11th harmonic is no part of THD but is noise for SINAD.
    const SpectralFigures eleventh = measure_period(harmonics(4096, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.01}), 1);
    EXPECT_LT(eleventh.thd_db, -250);
    EXPECT_NEAR(eleventh.sinad_db, 40, 1e-6);
}

TEST(SpectralFigures, NoFiguresWhereTheyWouldMeanNothing)
{
    EXPECT_FALSE(measure_period(std::vector<double>(4096, 0.7), 1).measured);  // no waveform
    EXPECT_FALSE(measure_period(harmonics(16, {1}), 1).measured);              // too few samples
    // Harmonics 2 to 10 of 4 cycles in 64 samples would fold back.
    EXPECT_FALSE(measure_period(harmonics(64, {1}, 4), 1).measured);
    const SpectralFigures twice = measure_period(harmonics(64, {1, 0, 0.1}, 2), 1);
    ASSERT_TRUE(twice.measured);
    EXPECT_EQ(twice.fundamental_bin, 2u);
    EXPECT_EQ(twice.spur_bin, 6u);
    EXPECT_NEAR(twice.thd_db, -20, 1e-6);
}

TEST(SpectralFigures, TablesMeasuredOverTheEntriesOfOnePeriod)
{
    for (int option : {1, 2, 3, 4, 5, 9}) {
        const SpectralFigures f = figures_of_option(option);
        ASSERT_TRUE(f.measured) << option << ": " << f.note;
        EXPECT_EQ(f.samples, 4096u);
        EXPECT_EQ(f.fundamental_bin, 1u);
        EXPECT_EQ(f.note, "4096 entries, one period");
    }
    // Every STEP-th sample, when STEP divides the period.
    const SpectralFigures eighth = figures_of_option(7, 8);
    ASSERT_TRUE(eighth.measured) << eighth.note;
    EXPECT_EQ(eighth.samples, 512u);
    EXPECT_EQ(eighth.fundamental_bin, 1u);
    // One short of the period: as the loop plays, the missing sample included.
    for (const SpectralFigures& f : {figures_of_option(6), figures_of_option(7, 1)}) {
        ASSERT_TRUE(f.measured) << f.note;
        EXPECT_EQ(f.samples, 4095u);
        EXPECT_NE(f.note.find("one short of the period"), std::string::npos) << f.note;
        EXPECT_LT(f.sinad_db, figures_of_option(5).sinad_db - 1);
    }
    // No loop of whole periods, or too few samples for the harmonics.
    for (const auto& [option, step] : std::vector<std::pair<int, int32_t>>{{7, 3}, {8, 7}, {8, -1}, {7, -3}, {7, 256}}) {
        const SpectralFigures f = figures_of_option(option, step);
        EXPECT_FALSE(f.measured) << option << " " << step;
        EXPECT_EQ(f.note.rfind("no figures: ", 0), 0u) << f.note;
    }
}

TEST(SpectralFigures, EachConverterLimitedByItsSteps)
{
    // A 0 ... 1 V sine: about 343 steps of the TLV5617A (8.4 bits), 1374 of the
    // TLV5618 (10.4 bits) and, through hundredths of a volt, 100 of the DAC12
    // path (6.6 bits), whatever the DAC12's own 12 bits.
    const struct {
        int option;
        double steps;
    } cases[] = {{1, 1024 / 2.98}, {5, 4096 / 2.98}, {9, 100}};
    for (const auto& c : cases) {
        const SpectralFigures f = figures_of_option(c.option);
        EXPECT_NEAR(f.enob_bits, std::log2(c.steps), 0.1) << c.option;
    }
}

TEST(SpectralFigures, SyntheticDac12TablesThroughTheConverterModel)
{
    // DAC12 codes of a full-scale 12-bit sine, then of a sine with a third
    // harmonic of a tenth of its amplitude (THD -20 dB).
    const auto table_of = [](const std::vector<double>& codes) {
        Table t;
        t.header = Header::Width12;
        t.depth = TABLE_DEPTH;
        for (std::size_t q = 0; q < codes.size(); ++q) {
            t.values.push_back(static_cast<uint32_t>(std::lround(codes[q])));
            t.indices.push_back(static_cast<uint32_t>(q));
        }
        return t;
    };
    std::vector<double> full = harmonics(4096, {2047.5});
    std::vector<double> third = harmonics(4096, {1500, 0, 150});
    for (double& code : full) {
        code += 2047.5;
    }
    for (double& code : third) {
        code += 2048;
    }
    const Table sine = table_of(full);
    const SpectralFigures f = table_spectrum(sine, summarize(sine));
    ASSERT_TRUE(f.measured) << f.note;
    EXPECT_NEAR(f.sinad_db, 6.02 * 12 + 1.76, 0.25);
    EXPECT_NEAR(f.fundamental_dbfs, 0, 0.01);

    const Table distorted = table_of(third);
    const SpectralFigures d = table_spectrum(distorted, summarize(distorted));
    ASSERT_TRUE(d.measured) << d.note;
    EXPECT_NEAR(d.thd_db, -20, 0.01);
    EXPECT_NEAR(d.sfdr_dbc, 20, 0.01);
    EXPECT_EQ(d.spur_bin, 3u);
}

TEST(SpectralFigures, ARateTurnsTheSpectrumsAxisIntoHertz)
{
    const Table t = check_table(sample_table(5)).table;
    const Summary s = summarize(t);
    const SpectralFigures f = table_spectrum(t, s);
    ASSERT_TRUE(f.measured);
    const std::string cycles = spectrum_script(s, f, "out.png");
    const std::string hertz = spectrum_script(s, f, "out.png", 8000.0);
    EXPECT_NE(cycles.find("cycles per period of 4096 samples"), std::string::npos);
    EXPECT_NE(hertz.find("frequency (Hz; the table played at 8000 entries a second"), std::string::npos) << hertz;
    // The fundamental, one cycle a period, at 8000 / 4096 Hz; the axis from
    // just below it to one bin past half the rate.
    EXPECT_NE(hertz.find("\n1.953125 -9."), std::string::npos) << hertz;
    EXPECT_NE(hertz.find("set xrange [1.5625:4001.953125]"), std::string::npos) << hertz;
    EXPECT_NE(hertz.find("fundamental, 1.95312 Hz"), std::string::npos) << hertz;
    EXPECT_DOUBLE_EQ(played_hz(t, s, f, 8000.0), 8000.0 / 4096);
}
