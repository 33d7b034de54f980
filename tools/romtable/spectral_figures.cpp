#include "spectral_figures.h"

#include "kinds.h"

SpectralFigures table_spectrum(const Table& table, const Summary& summary)
{
    const std::size_t entries = table.values.size();
    const auto depth = static_cast<std::size_t>(table.depth);
    const std::string count = std::to_string(entries) + " entries";
    std::string note;
    if (table.header == Header::Width8Step && table.step != 1) {
        // Every STEP-th sample makes a loop of whole periods only when STEP
        // divides the period; a step of 1 is one short, as option 6.
        SpectralFigures none;
        if (table.step <= 0) {
            none.note = no_figures("STEP = " + std::to_string(table.step) + " wraps the sample index around: the " +
                                   count + " are no period");
            return none;
        }
        if (depth % static_cast<std::size_t>(table.step) != 0) {
            none.note = no_figures("STEP = " + std::to_string(table.step) + " does not divide " +
                                   std::to_string(depth) + ": the " + count +
                                   " played in a loop are no whole number of periods");
            return none;
        }
        note = count + " (STEP = " + std::to_string(table.step) + "), one period";
    } else if (entries == depth) {
        note = count + ", one period";
    } else if (entries + 1 == depth) {
        note = count + ", one short of the period of " + std::to_string(depth) +
               " (q = " + std::to_string(depth) + " is not written): measured as they play in a loop, "
               "where the missing sample is a jump that counts as distortion";
    } else {
        SpectralFigures none;
        none.note = no_figures(count + " are not one period of " + std::to_string(depth));
        return none;
    }
    SpectralFigures f = measure_period(entry_volts(table, summary.converter), full_scale_volts(summary.converter) / 2);
    if (f.measured) {
        f.note = note;
    }
    return f;
}

double bin_hz(const SpectralFigures& figures, std::size_t bin, double rate)
{
    return figures.samples == 0 ? 0 : rate * static_cast<double>(bin) / static_cast<double>(figures.samples);
}

double played_hz(const Table& table, const Summary& summary, const SpectralFigures& figures, double rate)
{
    if (figures.measured) {
        return bin_hz(figures, figures.fundamental_bin, rate);
    }
    if (summary.period_samples <= 0) {
        return 0;
    }
    const double step = table.header == Header::Width8Step && table.step > 0 ? table.step : 1;
    return rate * step / summary.period_samples;
}
