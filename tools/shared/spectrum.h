// How clean a periodic waveform is: the spectrum of samples that hold whole
// periods of it, and the usual figures of merit (SFDR, THD, SINAD, ENOB).
// Shared by romtable (a table on its converter) and boardsim (a DAC's
// output on the simulated board), so that both measure alike.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Harmonics 2 to this count towards THD.
inline constexpr std::size_t HIGHEST_HARMONIC = 10;

struct SpectralFigures {
    bool measured = false;
    std::string note;          // which samples make the period, or why there are no figures
    std::size_t samples = 0;   // samples in the period measured
    std::size_t fundamental_bin = 0;  // cycles per period
    std::size_t spur_bin = 0;         // the largest other bin, DC left out
    double fundamental_dbfs = 0;
    double spur_dbfs = 0;
    double sfdr_dbc = 0;   // fundamental over the largest spur
    double thd_db = 0;     // harmonics 2 to 10 over the fundamental (negative)
    double sinad_db = 0;   // fundamental over everything else but DC
    double enob_bits = 0;  // (SINAD - 1.76) / 6.02
    // Bins 0 ... samples / 2 in dB against a full-scale sine; no bin is
    // quieter than SPECTRUM_FLOOR_DBFS.
    std::vector<double> bin_dbfs;
};

inline constexpr double SPECTRUM_FLOOR_DBFS = -300;

// The figures of samples that hold whole periods of a waveform, played over
// and over (volts; the fundamental is the strongest bin but DC). A full-scale
// sine has amplitude full_scale_amplitude (0 dBFS). No figures when the
// samples are constant or too few to hold harmonics 2 to 10 below half the
// sample count.
SpectralFigures measure_period(const std::vector<double>& volts, double full_scale_amplitude);

// The note of figures not measured: "no figures: " and why.
std::string no_figures(const std::string& why);
