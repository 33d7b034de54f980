#include "plot.h"

#include <cstdio>

#include "gnuplot.h"

std::string plot_script(const Table& table, const Summary& summary, const std::string& png)
{
    std::string s;
    s += "set terminal pngcairo size 960,540 font 'sans,11'\n";
    s += "set output " + gnuplot_quoted(png) + "\n";
    s += "set title " + gnuplot_quoted(summary.kind) + " noenhanced\n";
    s += "set xlabel 'sample index q'\n";
    s += "set ylabel 'output voltage (V)'\n";
    s += "set grid xtics ytics mxtics mytics lt 1 dt 1 lw 1 lc rgb '#c0c0c0', lt 1 dt 1 lw 1 lc rgb '#e4e4e4'\n";
    s += "set mxtics 2\nset mytics 2\nset key top right box opaque noenhanced\n";
    s += "set offsets 0, 0, graph 0.05, graph 0.05\n";
    s += "set xrange [0:" + std::to_string(table.depth) + "]\n";
    s += "set xtics 512\n";
    const bool dots = table.values.size() < 200;
    char model[96];
    std::snprintf(model, sizeof model, "%s, reference %.2f V", converter_name(summary.converter),
                  summary.converter == Converter::Dac12 ? DAC12_REF_VOLTS : TLV_REF_VOLTS);
    s += std::string("plot '-' using 1:2 with ") + (dots ? "linespoints pt 7 ps 0.6" : "lines") +
         " lw 2 lc rgb '#1f5fbf' title " + gnuplot_quoted(model) + "\n";
    const std::vector<double> v = entry_volts(table, summary.converter);
    char line[64];
    for (std::size_t i = 0; i < v.size(); ++i) {
        std::snprintf(line, sizeof line, "%u %.6f\n", table.indices[i], v[i]);
        s += line;
    }
    s += "e\n";
    return s;
}

bool plot_table(const Table& table, const Summary& summary, const std::string& png, std::string* error)
{
    return draw_picture([&](const std::string& output) { return plot_script(table, summary, output); }, png, error);
}
