// How clean a sine a table gives on its converter: the spectrum of one period
// of its voltages through the converter model, measured by the figures the
// host tools share (shared/spectrum.h).
#pragma once

#include "shared/spectrum.h"
#include "table_format.h"
#include "waveform_fit.h"

// The figures of a checked table on its converter model, over the entries
// that make one period as they are played in a loop; no figures where the
// entries are not one period.
SpectralFigures table_spectrum(const Table& table, const Summary& summary);

// A table played at `rate` entries a second, one entry per update of the
// converter: bin k of its spectrum (k cycles over the samples measured) is
// rate x k / samples hertz.
double bin_hz(const SpectralFigures& figures, std::size_t bin, double rate);
// The waveform's frequency so played: from the spectrum's fundamental where
// it was measured, else from the period (in entries: sample indices over
// STEP for step tables); 0 where the table tells no period.
double played_hz(const Table& table, const Summary& summary, const SpectralFigures& figures, double rate);
