#include "spectrum_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gnuplot.h"

namespace {

// Quantisation of a whole period leaves some bins all but empty: they are
// drawn at the bottom of a picture that still shows the rest.
constexpr double LOWEST_DRAWN_DBFS = -200;

double picture_floor(const std::vector<double>& dbfs)
{
    const double lowest = *std::min_element(dbfs.begin() + 1, dbfs.end());
    return std::max(LOWEST_DRAWN_DBFS, 20 * std::floor(lowest / 20));
}

std::string point(double x, double dbfs)
{
    char line[64];
    std::snprintf(line, sizeof line, "%.10g %.4f\n", x, dbfs);
    return line;
}

}  // namespace

std::string spectrum_script(const Summary& summary, const SpectralFigures& f, const std::string& png,
                            std::optional<double> rate)
{
    const double floor = picture_floor(f.bin_dbfs);
    // Where bin k goes on the axis: k cycles per period, or its hertz.
    const auto x = [&](std::size_t k) { return rate ? bin_hz(f, k, *rate) : static_cast<double>(k); };
    char text[256];
    std::string s;
    s += "set terminal pngcairo size 960,540 font 'sans,11'\n";
    s += "set output " + gnuplot_quoted(png) + "\n";
    std::snprintf(text, sizeof text, "SFDR %.2f dBc, THD %.2f dB, SINAD %.2f dB, ENOB %.2f bits", f.sfdr_dbc,
                  f.thd_db, f.sinad_db, f.enob_bits);
    s += "set title sprintf(\"%s\\n%s\", " + gnuplot_quoted(summary.kind) + ", " + gnuplot_quoted(text) + ") noenhanced\n";
    if (rate) {
        std::snprintf(text, sizeof text, "%g", *rate);
        s += "set xlabel 'frequency (Hz; the table played at " + std::string(text) + " entries a second, " +
             std::to_string(f.samples) + " a period, DC left out)'\n";
    } else {
        s += "set xlabel 'frequency (cycles per period of " + std::to_string(f.samples) + " samples, DC left out)'\n";
    }
    s += "set ylabel 'magnitude (dBFS)'\n";
    s += "set logscale x\n";
    std::snprintf(text, sizeof text, "set xrange [%.10g:%.10g]\n", 0.8 * x(1), x(f.bin_dbfs.size()));
    s += text;
    s += "set yrange [" + std::to_string(static_cast<int>(floor)) + ":10]\n";
    s += "set grid xtics ytics lt 1 dt 1 lw 1 lc rgb '#d0d0d0'\n";
    s += "set key top right box opaque noenhanced\n";
    const auto where = [&](std::size_t k) {
        char at[48];
        if (rate) {
            std::snprintf(at, sizeof at, "%g Hz", x(k));
        } else {
            std::snprintf(at, sizeof at, "%zu per period", k);
        }
        return std::string(at);
    };
    std::snprintf(text, sizeof text, "fundamental, %s: %.2f dBFS", where(f.fundamental_bin).c_str(), f.fundamental_dbfs);
    const std::string fundamental_title = text;
    std::snprintf(text, sizeof text, "largest spur, %s: %.2f dBFS", where(f.spur_bin).c_str(), f.spur_dbfs);
    const std::string spur_title = text;
    s += "plot '-' using 1:2:(0):($3-$2) with vectors nohead lw 1 lc rgb '#1f5fbf' title 'bins', "
         "'-' using 1:2 with points pt 7 ps 1.4 lc rgb '#2a9d2a' title " +
         gnuplot_quoted(fundamental_title) + ", '-' using 1:2 with points pt 7 ps 1.4 lc rgb '#d62728' title " +
         gnuplot_quoted(spur_title) + "\n";
    char line[96];
    for (std::size_t k = 1; k < f.bin_dbfs.size(); ++k) {
        std::snprintf(line, sizeof line, "%.10g %.1f %.4f\n", x(k), floor, std::max(floor, f.bin_dbfs[k]));
        s += line;
    }
    s += "e\n" + point(x(f.fundamental_bin), f.fundamental_dbfs) + "e\n" +
         point(x(f.spur_bin), std::max(floor, f.spur_dbfs)) + "e\n";
    return s;
}

bool plot_spectrum(const Summary& summary, const SpectralFigures& figures, const std::string& png, std::string* error,
                   std::optional<double> rate)
{
    return draw_picture([&](const std::string& output) { return spectrum_script(summary, figures, output, rate); },
                        png, error);
}
