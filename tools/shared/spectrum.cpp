#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "fft.h"

namespace {

// A ratio in dB, kept within the floor's range: a bin of exactly nothing (a
// synthetic sine without error) would otherwise give an infinite figure.
double ratio_db(double numerator, double denominator)
{
    if (denominator <= 0) {
        return -SPECTRUM_FLOOR_DBFS;
    }
    if (numerator <= 0) {
        return SPECTRUM_FLOOR_DBFS;
    }
    return std::clamp(10 * std::log10(numerator / denominator), SPECTRUM_FLOOR_DBFS, -SPECTRUM_FLOOR_DBFS);
}

// The mean square (V^2) of each bin's component: a sine of amplitude A in one
// bin gives A^2 / 2, a constant c in bin 0 gives c^2. Bins between 0 and n / 2
// stand for their mirror images as well, hence twice their |X|^2.
std::vector<double> bin_powers(const std::vector<std::complex<double>>& bins, std::size_t n)
{
    std::vector<double> power(bins.size());
    const double scale = 1.0 / (static_cast<double>(n) * static_cast<double>(n));
    for (std::size_t k = 0; k < bins.size(); ++k) {
        const bool own_mirror = k == 0 || 2 * k == n;
        power[k] = std::norm(bins[k]) * scale * (own_mirror ? 1 : 2);
    }
    return power;
}

// The strongest bin from 1 on, skipping `except` (0 skips none: DC is never a candidate).
std::size_t strongest_bin(const std::vector<double>& power, std::size_t except)
{
    std::size_t best = 0;
    for (std::size_t k = 1; k < power.size(); ++k) {
        if (k != except && (best == 0 || power[k] > power[best])) {
            best = k;
        }
    }
    return best;
}

}  // namespace

std::string no_figures(const std::string& why)
{
    return "no figures: " + why;
}

SpectralFigures measure_period(const std::vector<double>& volts, double full_scale_amplitude)
{
    SpectralFigures f;
    const std::size_t n = volts.size();
    f.samples = n;
    if (n < 2 * HIGHEST_HARMONIC) {
        f.note = no_figures(std::to_string(n) + " samples are too few to hold harmonics 2 to " +
                            std::to_string(HIGHEST_HARMONIC) + " below half their count");
        return f;
    }
    const std::vector<double> power = bin_powers(real_dft(volts), n);
    const double full_scale_power = full_scale_amplitude * full_scale_amplitude / 2;
    f.bin_dbfs.resize(power.size());
    std::transform(power.begin(), power.end(), f.bin_dbfs.begin(),
                   [&](double p) { return ratio_db(p, full_scale_power); });

    f.fundamental_bin = strongest_bin(power, 0);
    const double fundamental = power[f.fundamental_bin];
    if (fundamental <= 0) {
        f.note = no_figures("the entries are all the same, no waveform");
        return f;
    }
    if (2 * HIGHEST_HARMONIC * f.fundamental_bin > n) {
        f.note = no_figures("harmonics 2 to " + std::to_string(HIGHEST_HARMONIC) + " of " +
                            std::to_string(f.fundamental_bin) + " cycles per period do not fit below half the " +
                            std::to_string(n) + " samples");
        return f;
    }
    f.spur_bin = strongest_bin(power, f.fundamental_bin);
    double harmonics = 0;
    for (std::size_t h = 2; h <= HIGHEST_HARMONIC; ++h) {
        harmonics += power[h * f.fundamental_bin];
    }
    double rest = 0;
    for (std::size_t k = 1; k < power.size(); ++k) {
        rest += k == f.fundamental_bin ? 0 : power[k];
    }
    f.measured = true;
    f.fundamental_dbfs = f.bin_dbfs[f.fundamental_bin];
    f.spur_dbfs = f.bin_dbfs[f.spur_bin];
    f.sfdr_dbc = ratio_db(fundamental, power[f.spur_bin]);
    f.thd_db = ratio_db(harmonics, fundamental);
    f.sinad_db = ratio_db(fundamental, rest);
    f.enob_bits = (f.sinad_db - 1.76) / 6.02;
    return f;
}
