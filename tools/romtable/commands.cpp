#include "commands.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ending_signals.h"
#include "export.h"
#include "plot.h"
#include "readable_names.h"
#include "show_report.h"
#include "spectral_figures.h"
#include "spectrum_plot.h"
#include "table_file.h"
#include "table_format.h"
#include "waveform_fit.h"
#include "shared/output_file.h"

namespace {

constexpr char USAGE[] =
    "usage: romtable check FILE\n"
    "       romtable show [--json] [--rate HZ] FILE\n"
    "       romtable plot FILE OUT.png\n"
    "       romtable spectrum [--rate HZ] FILE OUT.png\n"
    "  --rate HZ: the entries played a second (the converter's update rate), for\n"
    "  frequencies and the spectrum's axis in hertz\n"
    "       romtable export --c NAME FILE [-o OUT]\n"
    "       romtable export --bin le|be FILE [-o OUT]\n"
    "       romtable export --hex|--mif|--coe FILE [-o OUT]\n";

int usage(FILE* err)
{
    std::fputs(USAGE, err);
    return 2;
}

void print_problems(const std::string& path, const CheckResult& result, FILE* to)
{
    const std::string shown = readable_path(path);
    for (const Problem& p : result.problems) {
        std::fprintf(to, "%s:%d:%d: %s\n", shown.c_str(), p.line, p.column, p.message.c_str());
    }
}

std::string shell_quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// What happened to a table whose CR LF became LF, and the command that puts
// them back (on every line but the last, which ends with the last entry).
std::string lf_line_ends_message(const std::string& path, std::size_t line_ends)
{
    // A name the terminal shows converted is no name the shell can pass on.
    const std::string shown = readable_path(path);
    const std::string target = shown == path ? shell_quoted(path) : "FILE";
    return "all " + std::to_string(line_ends) +
           " line ends are LF, not CR LF: the table's CR LF were turned into LF (by git or an editor); "
           "restore them with: sed -i '$!s/$/\\r/' " + target;
}

// How a command takes a table whose CR LF became LF: `check` counts it as a
// problem; the others read the table and warn.
enum class LfLineEnds { Problem, Warning };

// The file read and checked; false (with the reasons printed) unless it is a
// sound table (or, taking LF line ends with a warning, one apart from them).
bool load(const std::string& path, CheckResult* result, FILE* problems_to, FILE* err, LfLineEnds lf)
{
    std::string bytes;
    std::string error;
    if (!read_table_file(path, &bytes, &error)) {
        std::fprintf(err, "romtable: %s\n", with_readable_paths(error, {path}).c_str());
        return false;
    }
    *result = check_table(bytes);
    if (result->lf_line_ends) {
        const std::string message =
            lf_line_ends_message(path, static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
        if (lf == LfLineEnds::Problem) {
            std::fprintf(problems_to, "%s:%d:%d: %s\n", readable_path(path).c_str(), result->lf_line,
                         result->lf_column, message.c_str());
        } else {
            std::fprintf(err, "romtable: warning: %s: %s\n", readable_path(path).c_str(), message.c_str());
        }
    }
    print_problems(path, *result, problems_to);
    return lf == LfLineEnds::Problem ? result->ok() : result->readable();
}

// An output onto the table being read would destroy it, under whatever name.
bool refuse_onto_input(const std::string& input, const std::string& output, FILE* err)
{
    if (!safe_output::sameFile(input, output)) {
        return false;
    }
    std::fprintf(err, "romtable: %s is the input table %s itself (the same file); choose another output\n",
                 readable_path(output).c_str(), readable_path(input).c_str());
    return true;
}

// What a command printed is its result: output that could not all be written
// fails it.
bool output_written(FILE* out, FILE* err)
{
    errno = 0;
    if (std::fflush(out) == 0 && std::ferror(out) == 0) {
        return true;
    }
    const int reason = errno;
    std::fprintf(err, "romtable: cannot write standard output: %s\n",
                 reason != 0 ? std::strerror(reason) : "write error");
    return false;
}

int check(const std::string& path, FILE* out, FILE* err)
{
    CheckResult result;
    if (!load(path, &result, out, err, LfLineEnds::Problem)) {
        if (result.header_read || !result.problems.empty()) {
            std::fprintf(out, "%s: %zu problem(s)\n", readable_path(path).c_str(),
                         result.problems.size() + (result.lf_line_ends ? 1 : 0));
        }
        return 1;
    }
    std::fprintf(out, "%s: ok, %zu entries, %s\n", readable_path(path).c_str(), result.table.values.size(),
                 summarize(result.table).kind.c_str());
    return 0;
}

int show(const std::string& path, bool json, std::optional<double> rate, FILE* out, FILE* err)
{
    CheckResult result;
    if (!load(path, &result, err, err, LfLineEnds::Warning)) {
        return 1;
    }
    const Table& t = result.table;
    const Summary s = summarize(t);
    const SpectralFigures figures = table_spectrum(t, s);
    const std::string report = json ? show_json(t, s, figures, rate) : show_text(t, s, figures, rate);
    std::fputs(report.c_str(), out);
    return 0;
}

int plot(const std::string& path, const std::string& png, FILE* err)
{
    if (refuse_onto_input(path, png, err)) {
        return 1;
    }
    CheckResult result;
    if (!load(path, &result, err, err, LfLineEnds::Warning)) {
        return 1;
    }
    std::string error;
    if (!plot_table(result.table, summarize(result.table), png, &error)) {
        std::fprintf(err, "romtable: %s\n", with_readable_paths(error, {png}).c_str());
        return 1;
    }
    return 0;
}

int spectrum(const std::string& path, const std::string& png, std::optional<double> rate, FILE* out, FILE* err)
{
    if (refuse_onto_input(path, png, err)) {
        return 1;
    }
    CheckResult result;
    if (!load(path, &result, err, err, LfLineEnds::Warning)) {
        return 1;
    }
    const Summary summary = summarize(result.table);
    const SpectralFigures figures = table_spectrum(result.table, summary);
    if (!figures.measured) {
        std::fprintf(err, "romtable: %s: %s\n", readable_path(path).c_str(), figures.note.c_str());
        return 1;
    }
    std::string error;
    if (!plot_spectrum(summary, figures, png, &error, rate)) {
        std::fprintf(err, "romtable: %s\n", with_readable_paths(error, {png}).c_str());
        return 1;
    }
    std::string spur_hz;
    if (rate) {
        char text[64];
        std::snprintf(text, sizeof text, " (%g Hz)", bin_hz(figures, figures.spur_bin, *rate));
        spur_hz = text;
    }
    std::fprintf(out, "%s: fundamental %.2f dBFS, largest spur %zu cycles per period%s at %.2f dBFS, SFDR %.2f dBc\n",
                 readable_path(png).c_str(), figures.fundamental_dbfs, figures.spur_bin, spur_hz.c_str(), figures.spur_dbfs,
                 figures.sfdr_dbc);
    return 0;
}

bool write_all(const std::string& target, const std::string& bytes, FILE* out, FILE* err)
{
    if (target.empty()) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) {
            std::fprintf(err, "romtable: cannot write standard output: %s\n", std::strerror(errno));
            return false;
        }
        return true;
    }
    try {
        const OutputSignalGuard signals;
        safe_output::writeOutputFile(target, bytes);
    } catch (const safe_output::OutputError& e) {
        std::fprintf(err, "romtable: %s\n", with_readable_paths(e.what(), {target}).c_str());
        return false;
    }
    return true;
}

// The words of a checked table in the form the options ask for.
std::string exported(const std::string& form, const std::string& how, const CheckResult& result,
                     const std::string& path)
{
    if (form == "--c") {
        return c_header(result.table, how, path);
    }
    if (form == "--bin") {
        return binary_words(result.table, how == "le" ? ByteOrder::Little : ByteOrder::Big);
    }
    if (form == "--hex") {
        return intel_hex(result.table);
    }
    if (form == "--mif") {
        return memory_initialization_file(result.table, path);
    }
    return coefficient_file(result.table);
}

int export_table(std::vector<std::string> args, FILE* out, FILE* err)
{
    // export --c NAME FILE | --bin le|be FILE | --hex FILE | --mif FILE | --coe FILE, each [-o OUT]
    const bool plain_form = !args.empty() && (args[0] == "--hex" || args[0] == "--mif" || args[0] == "--coe");
    if (plain_form) {
        args.insert(args.begin() + 1, "");
    }
    if (args.size() != 3 && !(args.size() == 5 && args[3] == "-o")) {
        return usage(err);
    }
    const std::string& form = args[0];
    const std::string& how = args[1];
    const std::string& path = args[2];
    const std::string target = args.size() == 5 ? args[4] : "";
    if (form == "--c" && !is_c_name(how)) {
        std::fprintf(err, "romtable: %s is no C identifier\n", how.c_str());
        return 2;
    }
    if (!plain_form && form != "--c" && !(form == "--bin" && (how == "le" || how == "be"))) {
        return usage(err);
    }
    if (!target.empty() && refuse_onto_input(path, target, err)) {
        return 1;
    }
    CheckResult result;
    if (!load(path, &result, err, err, LfLineEnds::Warning)) {
        return 1;
    }
    return write_all(target, exported(form, how, result, path), out, err) ? 0 : 1;
}

// "--rate HZ" taken out of `args` (anywhere after the command); a rate that
// is no number of hertz above 0 is a usage error.
bool take_rate(std::vector<std::string>& args, std::optional<double>* rate, FILE* err)
{
    const auto at = std::find(args.begin() + 1, args.end(), "--rate");
    if (at == args.end()) {
        return true;
    }
    if (at + 1 == args.end()) {
        std::fprintf(err, "romtable: --rate wants the entries played a second, in hertz\n");
        return false;
    }
    const std::string& text = *(at + 1);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
        end != text.c_str() + text.size() || !(value > 0) || !std::isfinite(value)) {
        std::fprintf(err, "romtable: --rate wants a number of hertz above 0, got \"%s\"\n", text.c_str());
        return false;
    }
    *rate = value;
    args.erase(at, at + 2);
    return true;
}

int run_command(std::vector<std::string> args, FILE* out, FILE* err)
{
    const std::string command = args[0];
    std::optional<double> rate;
    if ((command == "show" || command == "spectrum") && !take_rate(args, &rate, err)) {
        return usage(err);
    }
    if (command == "check" && args.size() == 2) {
        return check(args[1], out, err);
    }
    if (command == "show" && args.size() == 2) {
        return show(args[1], false, rate, out, err);
    }
    if (command == "show" && args.size() == 3 && args[1] == "--json") {
        return show(args[2], true, rate, out, err);
    }
    if (command == "plot" && args.size() == 3) {
        return plot(args[1], args[2], err);
    }
    if (command == "spectrum" && args.size() == 3) {
        return spectrum(args[1], args[2], rate, out, err);
    }
    if (command == "export") {
        return export_table(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    return usage(err);
}

}  // namespace

int run_romtable(int argc, const char* const* argv, FILE* out, FILE* err)
{
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty()) {
        return usage(err);
    }
    const int status = run_command(args, out, err);
    if (status == 0 && !output_written(out, err)) {
        return 1;
    }
    return status;
}
