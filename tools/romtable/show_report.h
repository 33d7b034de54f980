// What `show` prints about a checked table: as lines for people, or as one
// JSON object for programs.
#pragma once

#include <optional>
#include <string>

#include "spectral_figures.h"
#include "table_format.h"
#include "waveform_fit.h"

// With `rate` (entries played a second), the figures' frequencies in hertz too.
std::string show_text(const Table& table, const Summary& summary, const SpectralFigures& figures,
                      std::optional<double> rate = std::nullopt);
std::string show_json(const Table& table, const Summary& summary, const SpectralFigures& figures,
                      std::optional<double> rate = std::nullopt);
