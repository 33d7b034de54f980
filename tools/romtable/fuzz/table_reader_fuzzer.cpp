// libFuzzer harness of the table reader and everything that works on what it
// accepts. Whatever the bytes: no crash, hang or sanitizer report; every
// problem placed inside the file; and a table that passes the check is the
// one way of writing its values: written again from header and values by the
// format's rules, it must come out byte for byte as the input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "export.h"
#include "kinds.h"
#include "spectral_figures.h"
#include "table_format.h"
#include "waveform_fit.h"

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "table_reader_fuzzer: %s\n", what);
    std::abort();
}

std::string field(uint32_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%6u ,", value);
    return text;
}

// The table as the generator would write these values.
std::string written_again(const Table& t)
{
    std::string out;
    switch (t.header) {
    case Header::Plain:
        out = "DEPTH = " + std::to_string(t.depth) + "\r\n";
        break;
    case Header::Width16:
        out = "WIDTH = 16\r\nDEPTH = " + std::to_string(t.depth) + " \r\n";
        break;
    case Header::Width12:
        out = "WIDTH = 12\r\nDEPTH = " + std::to_string(t.depth) + " \r\n";
        break;
    case Header::Width8:
    case Header::Width8Step:
        out = "WIDTH = 8\r\nDEPTH = " + std::to_string(t.depth) + " \r\n";
        break;
    }
    if (t.header == Header::Width8Step) {
        out += "STEP = " + std::to_string(t.step) + " \r\n";
    }
    out += "CONTENT BEGIN:\r\n";
    if (has_byte_pairs(t.header)) {
        out += "\xBF\xEC\xCB\xD9" "B\xCD\xA8\xB5\xC0\r\n";
    } else if (t.header == Header::Width12) {
        out += "\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD for DAC12\r\n";
    }
    for (std::size_t i = 0; i < t.values.size(); ++i) {
        const bool line_end = t.header == Header::Width8Step ? (i + 1) % 5 == 0 : t.indices[i] % 10 == 0;
        if (line_end) {
            out += "\r\n";
        }
        out += has_byte_pairs(t.header) ? field(t.values[i] >> 8) + " " + field(t.values[i] & 0xFF)
                                        : field(t.values[i]);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const CheckResult result = check_table(bytes);

    int lines = 1;
    for (char c : bytes) {
        lines += c == '\n' ? 1 : 0;
    }
    if (result.problems.size() > MAX_PROBLEMS + 1) {
        fail("more problems listed than the limit");
    }
    for (const Problem& p : result.problems) {
        if (p.line < 1 || p.line > lines || p.column < 1 || static_cast<std::size_t>(p.column) > size + 1 ||
            p.message.empty()) {
            fail("a problem placed outside the file, or without a message");
        }
    }
    if (result.lf_line_ends && result.readable()) {
        // Read despite its LF line ends: it must be a table the generator
        // writes, with each CR LF turned into LF and nothing else changed.
        std::string restored;
        for (char c : bytes) {
            if (c == '\n') {
                restored += '\r';
            }
            restored += c;
        }
        if (written_again(result.table) != restored) {
            fail("a table read despite LF line ends that is no generator table with its CR LF turned into LF");
        }
    }
    if (!result.ok()) {
        return 0;
    }
    const Table& t = result.table;
    if (written_again(t) != bytes) {
        fail("a table passed the check that the generator would write differently");
    }
    if (fitting_options(t).empty() || t.values.empty()) {
        fail("a table passed the check that fits no kind");
    }
    const Summary s = summarize(t);
    if (s.options.empty() || s.min_code > s.max_code) {
        fail("summary without a kind, or minimum above maximum");
    }
    const SpectralFigures f = table_spectrum(t, s);
    if (f.note.empty() || (f.measured && !(f.sinad_db <= f.sfdr_dbc + 1e-9 && f.thd_db <= -f.sinad_db + 1e-9))) {
        fail("spectral figures without a note, or SINAD above SFDR, or THD above the rest");
    }
    const std::string coe = coefficient_file(t);
    if (c_header(t, "t", "fuzz").empty() || binary_words(t, ByteOrder::Big).size() != 2 * t.values.size() ||
        static_cast<std::size_t>(std::count(coe.begin(), coe.end(), ',')) + 1 != t.values.size() ||
        intel_hex(t).empty() || memory_initialization_file(t, "fuzz").empty()) {
        fail("export lost words");
    }
    return 0;
}
