#include "plot.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// A gnuplot single-quoted string: only the quote itself needs doubling.
std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

bool has_control_bytes(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

std::string plot_script(const Table& table, const Summary& summary, const std::string& png)
{
    std::string s;
    s += "set terminal pngcairo size 960,540 font 'sans,11'\n";
    s += "set output " + quoted(png) + "\n";
    s += "set title " + quoted(summary.kind) + " noenhanced\n";
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
         " lw 2 lc rgb '#1f5fbf' title " + quoted(model) + "\n";
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
    if (png.empty() || has_control_bytes(png)) {
        *error = "the picture's file name must not be empty or hold control characters";
        return false;
    }
    const char* program = std::getenv("ROMTABLE_GNUPLOT");
    const std::string command = std::string(program != nullptr && *program != '\0' ? program : "gnuplot") +
                                " 2>&1";
    // The picture replaces a plain file only, so that an old picture cannot
    // pass for a new one and no device or folder is ever unlinked.
    struct stat before {};
    if (stat(png.c_str(), &before) == 0) {
        if (!S_ISREG(before.st_mode)) {
            *error = png + " exists and is not a plain file";
            return false;
        }
        std::remove(png.c_str());
    }
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) {
        *error = "cannot start gnuplot";
        return false;
    }
    // gnuplot ending early must not end romtable with SIGPIPE.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const std::string script = plot_script(table, summary, png);
    const bool sent = std::fwrite(script.data(), 1, script.size(), pipe) == script.size();
    const int status = pclose(pipe);
    std::signal(SIGPIPE, previous);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) == 127) {
        *error = "gnuplot is not installed (Debian package gnuplot-nox) or could not run";
        return false;
    }
    struct stat info {};
    if (!sent || WEXITSTATUS(status) != 0 || stat(png.c_str(), &info) != 0 || info.st_size == 0) {
        *error = "gnuplot could not draw " + png;
        return false;
    }
    return true;
}
