// The waveform of a checked table as a PNG picture, drawn by gnuplot (Debian
// gnuplot-nox, its cairo PNG terminal): volts against sample index, with axes,
// grid and the converter named.
#pragma once

#include <string>

#include "table_format.h"
#include "waveform_fit.h"

// The gnuplot program that draws the table into `png`, data inline.
std::string plot_script(const Table& table, const Summary& summary, const std::string& png);

// Runs gnuplot (or $ROMTABLE_GNUPLOT) on the script; false with a message when
// it is missing, fails or leaves no picture.
bool plot_table(const Table& table, const Summary& summary, const std::string& png, std::string* error);
