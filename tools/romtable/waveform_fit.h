// What `show` and `plot` tell about a checked table: which kind it is, its
// range in codes and volts, and the period and phase of its waveform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kinds.h"
#include "table_format.h"

inline constexpr std::size_t MIN_ENTRIES_FOR_PERIOD = 8;

struct Summary {
    std::vector<int> options;  // kinds that fit header, values, count and waveform
    std::string kind;          // in words
    Converter converter = Converter::Tlv5617;
    uint32_t min_code = 0;
    uint32_t max_code = 0;
    double min_volts = 0;
    double max_volts = 0;
    double period_samples = 0;  // in sample indices q, DEPTH for one period per table; 0: too few entries
    double phase_degrees = 0;   // 0 for a sine, 90 for a cosine
    double mean_volts = 0;
};

// For a table that passed the check.
Summary summarize(const Table& table);

// The voltage of every entry, in the order of the table.
std::vector<double> entry_volts(const Table& table, Converter converter);
