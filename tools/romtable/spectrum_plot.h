// The magnitude spectrum of a table's period as a PNG picture, drawn by
// gnuplot: dBFS against cycles per period, or against hertz for a table
// played at a given rate (log scale, DC left out), the fundamental and the
// largest spur marked, the figures in the title.
#pragma once

#include <optional>
#include <string>

#include "spectral_figures.h"
#include "waveform_fit.h"

// The gnuplot program that draws the measured spectrum into `png`, data inline.
// `rate`: entries played a second, for an axis in hertz.
std::string spectrum_script(const Summary& summary, const SpectralFigures& figures, const std::string& png,
                            std::optional<double> rate = std::nullopt);

// Runs gnuplot on it; false with a message when it cannot draw.
bool plot_spectrum(const Summary& summary, const SpectralFigures& figures, const std::string& png,
                   std::string* error, std::optional<double> rate = std::nullopt);
