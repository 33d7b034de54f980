#include "show_report.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

std::string options_text(const std::vector<int>& options)
{
    std::string text;
    for (int option : options) {
        text += (text.empty() ? "" : " or ") + std::to_string(option);
    }
    return text;
}

double reference_volts(Converter converter)
{
    return converter == Converter::Dac12 ? DAC12_REF_VOLTS : TLV_REF_VOLTS;
}

// A number as printf's %.*f (decimals > 0) or %g (decimals < 0) writes it.
std::string number(double value, int decimals)
{
    char text[64];
    if (decimals < 0) {
        std::snprintf(text, sizeof text, "%g", value);
    } else {
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
    }
    return text;
}

}  // namespace

std::string show_text(const Table& t, const Summary& s, const SpectralFigures& f, std::optional<double> rate)
{
    std::string text;
    text += "kind:     " + s.kind + "\n";
    text += "options:  " + options_text(s.options) + "\n";
    text += "header:   " + std::string(header_name(t.header)) + ", DEPTH = " + std::to_string(t.depth);
    if (t.header == Header::Width8Step) {
        text += ", STEP = " + std::to_string(t.step);
    }
    text += "\nentries:  " + std::to_string(t.values.size()) + " (sample index " + std::to_string(t.indices.front()) +
            " to " + std::to_string(t.indices.back()) + ")\n";
    text += "minimum:  code " + std::to_string(s.min_code) + " = " + number(s.min_volts, 4) + " V\n";
    text += "maximum:  code " + std::to_string(s.max_code) + " = " + number(s.max_volts, 4) + " V\n";
    text += "model:    " + std::string(converter_name(s.converter)) + ", reference " +
            number(reference_volts(s.converter), 2) + " V\n";
    if (s.period_samples == 0) {
        text += "period:   too few entries to tell\n";
    } else {
        text += "period:   " + number(s.period_samples, -1) + " samples (" +
                number(static_cast<double>(t.depth) / s.period_samples, -1) + " per table of " +
                std::to_string(t.depth) + ")\n";
        text += "phase:    " + number(s.phase_degrees, 1) + " degrees (0 sine, 90 cosine)\n";
    }
    if (rate) {
        text += "rate:     " + number(*rate, -1) + " entries a second: ";
        const double hz = played_hz(t, s, f, *rate);
        text += hz > 0 ? "the waveform at " + number(hz, -1) + " Hz" : std::string("no period to tell a frequency");
        text += f.measured ? ", the spectrum up to " + number(bin_hz(f, f.bin_dbfs.size() - 1, *rate), -1) + " Hz\n"
                           : "\n";
    }
    text += "spectrum: " + f.note + "\n";
    if (f.measured) {
        const std::string spur_hz = rate ? " = " + number(bin_hz(f, f.spur_bin, *rate), -1) + " Hz" : "";
        text += "SFDR:     " + number(f.sfdr_dbc, 2) + " dBc (largest spur " + std::to_string(f.spur_bin) +
                " cycles per period" + spur_hz + " at " + number(f.spur_dbfs, 2) + " dBFS, fundamental " +
                number(f.fundamental_dbfs, 2) + " dBFS)\n";
        text += "THD:      " + number(f.thd_db, 2) + " dB (harmonics 2 to " + std::to_string(HIGHEST_HARMONIC) + ")\n";
        text += "SINAD:    " + number(f.sinad_db, 2) + " dB\n";
        text += "ENOB:     " + number(f.enob_bits, 2) + " bits\n";
    }
    return text;
}

std::string show_json(const Table& t, const Summary& s, const SpectralFigures& f, std::optional<double> rate)
{
    using json = nlohmann::ordered_json;  // keys in the order of the text report
    json spectrum = {{"measured", f.measured}, {"note", f.note}};
    if (f.measured) {
        spectrum["samples"] = f.samples;
        spectrum["fundamental"] = {{"bin", f.fundamental_bin}, {"dbfs", f.fundamental_dbfs}};
        spectrum["largest_spur"] = {{"bin", f.spur_bin}, {"dbfs", f.spur_dbfs}};
        if (rate) {
            spectrum["fundamental"]["hz"] = bin_hz(f, f.fundamental_bin, *rate);
            spectrum["largest_spur"]["hz"] = bin_hz(f, f.spur_bin, *rate);
        }
        spectrum["sfdr_dbc"] = f.sfdr_dbc;
        spectrum["thd_db"] = f.thd_db;
        spectrum["sinad_db"] = f.sinad_db;
        spectrum["enob_bits"] = f.enob_bits;
    }
    const bool periodic = s.period_samples != 0;
    json report = {
        {"kind", s.kind},
        {"options", s.options},
        {"header", header_name(t.header)},
        {"depth", t.depth},
        {"step", t.header == Header::Width8Step ? json(t.step) : json(nullptr)},
        {"entries", t.values.size()},
        {"first_index", t.indices.front()},
        {"last_index", t.indices.back()},
        {"minimum", {{"code", s.min_code}, {"volts", s.min_volts}}},
        {"maximum", {{"code", s.max_code}, {"volts", s.max_volts}}},
        {"model", {{"converter", converter_name(s.converter)}, {"reference_volts", reference_volts(s.converter)}}},
        {"period_samples", periodic ? json(s.period_samples) : json(nullptr)},
        {"phase_degrees", periodic ? json(s.phase_degrees) : json(nullptr)},
        {"spectrum", spectrum},
    };
    if (rate) {
        const double hz = played_hz(t, s, f, *rate);
        report["rate_hz"] = *rate;
        report["frequency_hz"] = hz > 0 ? json(hz) : json(nullptr);
    }
    return report.dump(2) + "\n";
}
