#include "waveform_fit.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>

#include "shared/fft.h"

namespace {

constexpr double PI = 3.14159265358979323846;

struct Fundamental {
    int cycles;      // periods across DEPTH samples
    double phase;    // degrees, 0 for a sine
};

// The strongest frequency in the samples and its phase, one period being
// DEPTH sample indices. Each entry stands at its sample index q in a period of
// DEPTH slots (step tables leave slots empty), so that one transform of DEPTH
// points gives every frequency in cycles per DEPTH.
Fundamental strongest_frequency(const Table& table, const std::vector<double>& v)
{
    const std::size_t n = static_cast<std::size_t>(table.depth);
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    std::vector<double> slots(n, 0.0);
    for (std::size_t i = 0; i < v.size(); ++i) {
        slots[table.indices[i] % n] += v[i] - mean;
    }
    const std::vector<std::complex<double>> bins = real_dft(slots);

    Fundamental best{0, 0};
    double best_power = -1;
    // Every STEP-th sample shows frequencies up to DEPTH / (2 STEP) cycles; the
    // ones above are aliases of those.
    const std::size_t spacing = table.step > 0 ? static_cast<std::size_t>(table.step) : 1;
    const std::size_t highest = std::max<std::size_t>(1, n / (2 * spacing));
    for (std::size_t k = 1; k <= highest; ++k) {
        const double c = bins[k].real();   // sum of (v - mean) cos(2 pi k q / DEPTH)
        const double s = -bins[k].imag();  // sum of (v - mean) sin(2 pi k q / DEPTH)
        const double power = s * s + c * c;
        if (power > best_power * (1 + 1e-9)) {
            best_power = power;
            best.cycles = static_cast<int>(k);
            best.phase = std::atan2(c, s) * 180 / PI;
        }
    }
    return best;
}

int options_of_waveform(const Table& table, const Summary& s, std::string* kind)
{
    const bool cosine = std::fabs(s.phase_degrees - 90) < 10;
    const bool lifted = s.mean_volts > 1;
    switch (table.header) {
    case Header::Plain:
        *kind = cosine ? "TLV5617A codes, cosine (option 2)" : "TLV5617A codes, sine (option 1)";
        return cosine ? 2 : 1;
    case Header::Width16:
        *kind = "TLV5617A words, fast channel B (option 3)";
        return 3;
    case Header::Width8Step:
        *kind = lifted ? "TLV5618 words in byte pairs, every STEP-th sample, sine + 1 V (option 8)"
                       : "TLV5618 words in byte pairs, every STEP-th sample, sine (option 7)";
        return lifted ? 8 : 7;
    case Header::Width12:
        *kind = "MSP430x2xx DAC12 codes, sine (option 9)";
        return 9;
    case Header::Width8:
        break;
    }
    return 0;
}

}  // namespace

std::vector<double> entry_volts(const Table& table, Converter converter)
{
    const std::vector<int> fits = fitting_options(table);
    const int option = fits.empty() ? 0 : fits.front();
    std::vector<double> result(table.values.size());
    std::transform(table.values.begin(), table.values.end(), result.begin(),
                   [&](uint32_t value) { return volts(converter, option == 0 ? value : code_of(option, value)); });
    return result;
}

Summary summarize(const Table& table)
{
    Summary s;
    const std::vector<int> fits = fitting_options(table);
    const int any = fits.empty() ? 0 : fits.front();
    // Every kind that fits one header shares the converter, except WIDTH = 8
    // with all words multiples of 4: TLV5617A (option 4) or TLV5618 (option 5).
    s.converter = converter_of(any);
    const std::vector<double> v = entry_volts(table, s.converter);

    s.min_code = 0xFFFFFFFF;
    for (uint32_t value : table.values) {
        const uint32_t code = code_of(any, value);
        s.min_code = std::min(s.min_code, code);
        s.max_code = std::max(s.max_code, code);
    }
    s.min_volts = volts(s.converter, s.min_code);
    s.max_volts = volts(s.converter, s.max_code);
    s.mean_volts = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());

    // A handful of samples says nothing about a waveform.
    if (v.size() >= MIN_ENTRIES_FOR_PERIOD) {
        const Fundamental f = strongest_frequency(table, v);
        s.period_samples = static_cast<double>(table.depth) / f.cycles;
        s.phase_degrees = f.phase;
    }

    if (table.header != Header::Width8) {
        s.options = {options_of_waveform(table, s, &s.kind)};
        return s;
    }
    // Options 4 and 5 differ only in the converter; 6 holds one entry less
    // and is lifted by 1 V.
    if (fits == std::vector<int>{6}) {
        s.options = {6};
        s.kind = "TLV5618 words in byte pairs, sine + 1 V (option 6)";
    } else if (fits.size() == 2) {
        s.options = {4, 5};
        s.kind = "TLV5617A words in byte pairs, sine (option 4; as every code is a multiple of 4, "
                 "option 5's format fits too)";
    } else {
        s.options = {5};
        s.kind = "TLV5618 words in byte pairs, sine (option 5)";
    }
    return s;
}
