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
