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

std::string point(std::size_t bin, double dbfs)
{
    char line[64];
    std::snprintf(line, sizeof line, "%zu %.4f\n", bin, dbfs);
    return line;
}

}  // namespace

std::string spectrum_script(const Summary& summary, const SpectralFigures& f, const std::string& png)
{
    const double floor = picture_floor(f.bin_dbfs);
    char text[256];
    std::string s;
    s += "set terminal pngcairo size 960,540 font 'sans,11'\n";
    s += "set output " + gnuplot_quoted(png) + "\n";
    std::snprintf(text, sizeof text, "SFDR %.2f dBc, THD %.2f dB, SINAD %.2f dB, ENOB %.2f bits", f.sfdr_dbc,
                  f.thd_db, f.sinad_db, f.enob_bits);
    s += "set title sprintf(\"%s\\n%s\", " + gnuplot_quoted(summary.kind) + ", " + gnuplot_quoted(text) + ") noenhanced\n";
    s += "set xlabel 'frequency (cycles per period of " + std::to_string(f.samples) + " samples, DC left out)'\n";
    s += "set ylabel 'magnitude (dBFS)'\n";
    s += "set logscale x\n";
    s += "set xrange [0.8:" + std::to_string(f.bin_dbfs.size()) + "]\n";
    s += "set yrange [" + std::to_string(static_cast<int>(floor)) + ":10]\n";
    s += "set grid xtics ytics lt 1 dt 1 lw 1 lc rgb '#d0d0d0'\n";
    s += "set key top right box opaque noenhanced\n";
    std::snprintf(text, sizeof text, "fundamental, %zu per period: %.2f dBFS", f.fundamental_bin, f.fundamental_dbfs);
    const std::string fundamental_title = text;
    std::snprintf(text, sizeof text, "largest spur, %zu per period: %.2f dBFS", f.spur_bin, f.spur_dbfs);
    const std::string spur_title = text;
    s += "plot '-' using 1:2:(0):($3-$2) with vectors nohead lw 1 lc rgb '#1f5fbf' title 'bins', "
         "'-' using 1:2 with points pt 7 ps 1.4 lc rgb '#2a9d2a' title " +
         gnuplot_quoted(fundamental_title) + ", '-' using 1:2 with points pt 7 ps 1.4 lc rgb '#d62728' title " +
         gnuplot_quoted(spur_title) + "\n";
    char line[96];
    for (std::size_t k = 1; k < f.bin_dbfs.size(); ++k) {
        std::snprintf(line, sizeof line, "%zu %.1f %.4f\n", k, floor, std::max(floor, f.bin_dbfs[k]));
        s += line;
    }
    s += "e\n" + point(f.fundamental_bin, f.fundamental_dbfs) + "e\n" + point(f.spur_bin, std::max(floor, f.spur_dbfs)) +
         "e\n";
    return s;
}

bool plot_spectrum(const Summary& summary, const SpectralFigures& figures, const std::string& png, std::string* error)
{
    return draw_picture([&](const std::string& output) { return spectrum_script(summary, figures, output); }, png,
                        error);
}
