// What a DAC output did over a stretch of a run, measured as an engineer at
// the bench would measure it, with the spectral code romtable uses
// (shared/spectrum.h):
//
// - the updates: the instants at which words set the output; the update
//   rate and the jitter of those instants (their deviation from an even
//   grid fitted to them), over the latest steady stretch (where the
//   intervals stay within half of their median);
// - the period: the fewest updates after which the output's values repeat
//   (at least twice over), the frequency from the time whole periods took;
//   the swing: the lowest and highest value set over the stretch;
// - the spectrum of the latest whole periods: the output as it is in time
//   (settling, and every update at its own instant) averaged over each of
//   as many even intervals as the periods hold updates, as an integrating
//   converter clocked at the mean update rate would see it; so the figures
//   cover DC to half the update rate, where a DAC's are specified, and an
//   output that followed its table ideally gives the table's own figures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frontends/signal/dac_recording.h"
#include "shared/spectrum.h"

namespace boardsim {

// At most this many samples go into one spectrum: the latest whole periods
// that fit.
constexpr size_t kMaxSpectrumSamples = size_t{1} << 21;

struct SignalFigures {
    unsigned output = 0;
    uint64_t updates = 0;  // words that set the output within the stretch
    // Over the steady stretch of updates.
    uint64_t steadyUpdates = 0;
    std::optional<double> updateHz;
    std::optional<double> jitterRms;         // seconds
    std::optional<double> jitterPeakToPeak;  // seconds
    double minVolts = 0;
    double maxVolts = 0;
    // The repeating waveform: updates per period, whole periods measured,
    // and the stretch they took.
    size_t periodUpdates = 0;
    size_t periods = 0;
    std::optional<double> frequencyHz;
    double measuredFrom = 0;
    double measuredTo = 0;
    SpectralFigures spectrum;
    std::string note;  // why a figure is missing, when one is
};

// The figures of `output` (Tlv5618::kA or kB) over the updates from `from`
// to `to` (seconds since reset).
SignalFigures measureSignal(const DacRecording::Output& recorded, unsigned output, double from, double to);

// The figures in a line, for a scenario's step or a message: "1.953 Hz,
// 0.000 V to 0.999 V, SFDR 82.7 dBc, 8000.0 updates/s".
std::string signalSummary(const SignalFigures& f);

// The averaging of the spectrum alone: `count` averages of the output
// described by `steps` (the first in force at `start`) over even intervals
// of [start, start + span).
std::vector<double> intervalAverages(const std::vector<Tlv5618::Step>& steps, double start, double span,
                                     size_t count);

}  // namespace boardsim
