#include "frontends/report/report.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "util/text.h"

namespace boardsim {
namespace {

// A run shorter than this in host time tells little of the simulator's speed.
constexpr double kShortRunWallSeconds = 1.0;

bool inRam(uint32_t address) { return address >= kRamBase && address - kRamBase < kRamSize; }

// A whole number without decimals, anything else by `format`; negative
// figures (dBFS, THD) too.
std::string number(double value, const char* format = "%.3f")
{
    char text[48];
    const bool whole = std::isfinite(value) && std::fabs(value) < 1e15 && std::trunc(value) == value;
    std::snprintf(text, sizeof text, whole ? "%.0f" : format, value);
    return text;
}

std::string percent(double share)
{
    return number(100 * share, "%.1f") + " %";
}

void printUarts(const Figures& f, std::ostream& out)
{
    for (const UartFigures& u : f.uarts) {
        if (u.bytes == 0) {
            out << "  " << u.name << ": nothing sent\n";
            continue;
        }
        out << "  " << u.name << ": " << u.bytes << " bytes sent";
        if (u.firstLine) {
            out << "; reset to the first line's last bit: " << number(*u.firstLineSeconds * 1e6) << " us, "
                << *u.firstLineInstructions << " instructions (" << quoted(*u.firstLine) << ", "
                << u.firstLine->size() << " bytes)";
        }
        out << "\n";
    }
}

void printTime(const Figures& f, std::ostream& out)
{
    if (f.interrupts.empty()) {
        out << "  interrupts: none\n";
    } else {
        out << "  interrupts:";
        for (const InterruptFigures& i : f.interrupts) {
            out << " " << i.source << " " << i.count << " (" << number(i.perSecond, "%.1f") << "/s)";
        }
        out << "\n";
    }
    out << "  core time:";
    for (const ModeShare& m : f.modes) {
        out << " " << m.mode << " " << percent(m.share) << ",";
    }
    out << " idle " << percent(f.idleShare) << ", powered down " << percent(f.powerDownShare) << "\n";
}

void printHeartbeat(const Figures& f, std::ostream& out)
{
    if (f.delayArgument) {
        out << "  DelayMs(" << *f.delayArgument << "):  " << *f.delayInstructions << " instructions\n";
        out << "  per DelayMs unit:  " << number(*f.delayUnitInstructions) << " instructions, "
            << number(*f.delayUnitCycles, "%.1f") << " cycles, " << number(*f.delayUnitSeconds * 1e6) << " us\n";
    }
    if (f.delayZeroInstructions) {
        out << "  DelayMs(0):  " << *f.delayZeroInstructions << " instructions\n";
    }
    if (f.heartbeatSeconds) {
        out << "  heartbeat: LED low " << *f.heartbeatLow << ", high " << *f.heartbeatHigh << " instructions; "
            << number(*f.heartbeatSeconds * 1e3) << " ms a period, the LED blinks at "
            << number(1.0 / *f.heartbeatSeconds) << " Hz (" << f.heartbeats << " periods)\n";
    }
}

void printLcd(const Figures& f, std::ostream& out)
{
    if (!f.lcdFrameSeconds) {
        return;
    }
    out << "  LCD over SPI0: SCK " << number(*f.spiSckHz / 1e6, "%.4f") << " MHz; a whole frame (" << kLcdFrameBytes
        << " bytes) " << number(*f.lcdFrameSeconds * 1e3) << " ms on the wire, "
        << number(1 / *f.lcdFrameSeconds, "%.1f") << " frames/s at most";
    if (f.lcdFrameSentSeconds) {
        out << "; the image sent one in " << number(*f.lcdFrameSentSeconds * 1e3) << " ms ("
            << number(1 / *f.lcdFrameSentSeconds, "%.1f") << " frames/s)";
    }
    out << "\n";
}

// Whole periods took `span`: bin k of their spectrum is k / span hertz.
double binHz(const SignalFigures& s, size_t bin)
{
    return double(bin) / (s.measuredTo - s.measuredFrom);
}

void printDac(const Figures& f, std::ostream& out)
{
    for (const SignalFigures& s : f.dacOutputs) {
        out << "  DAC (TLV5618) output " << Tlv5618::outputName(s.output) << ": " << s.updates << " updates";
        if (s.updateHz) {
            out << ", " << number(*s.updateHz, "%.1f") << " updates/s over the latest " << s.steadyUpdates
                << " (steady), jitter " << number(*s.jitterRms * 1e6, "%.3f") << " us rms, "
                << number(*s.jitterPeakToPeak * 1e6, "%.3f") << " us peak to peak";
        }
        out << "\n    " << number(s.minVolts, "%.4f") << " V to " << number(s.maxVolts, "%.4f") << " V";
        if (s.frequencyHz) {
            out << "; " << number(*s.frequencyHz, "%.4f") << " Hz: " << s.periodUpdates << " updates a period, "
                << s.periods << " whole period" << (s.periods == 1 ? "" : "s") << " measured ("
                << number(s.measuredFrom, "%.4f") << " s to " << number(s.measuredTo, "%.4f") << " s)";
        } else {
            out << "; " << s.note;
        }
        out << "\n";
        const SpectralFigures& sp = s.spectrum;
        if (sp.measured) {
            out << "    SFDR " << number(sp.sfdr_dbc, "%.2f") << " dBc (largest spur at "
                << number(binHz(s, sp.spur_bin), "%.3f") << " Hz, " << number(sp.spur_dbfs, "%.2f")
                << " dBFS; fundamental " << number(sp.fundamental_dbfs, "%.2f") << " dBFS), THD "
                << number(sp.thd_db, "%.2f") << " dB, SINAD " << number(sp.sinad_db, "%.2f") << " dB, ENOB "
                << number(sp.enob_bits, "%.2f") << " bits\n";
        } else if (s.frequencyHz) {
            out << "    spectrum: " << sp.note << "\n";
        }
    }
}

void printText(const ElfImage& image, const Figures& f, std::ostream& out)
{
    const ImageUse use = imageUse(image);
    out << "image\n";
    out << "  flash used:  " << use.flashBytes << " of " << kFlashSize << " bytes ("
        << number(100.0 * use.flashBytes / kFlashSize) << " %)\n";
    out << "  RAM used:    " << use.ramTotal() << " of " << kRamSize << " bytes (" << use.ramData << " data, "
        << use.ramZeroed << " zeroed, ";
    if (use.ramOther > 0) {
        out << use.ramOther << " stacks and other)\n";
    } else {
        out << "stacks in no section of the image, not counted)\n";  // placed by the linker's symbols
    }
    out << "clocks (as the image set them)\n";
    out << "  cclk " << number(f.cclkHz / 1e6, "%.4f") << " MHz, pclk " << number(f.pclkHz / 1e6, "%.4f") << " MHz";
    for (const UartFigures& u : f.uarts) {
        if (u.baud) {
            out << ", " << u.name << " " << number(*u.baud, "%.1f") << " baud " << u.frameFormat;
        }
    }
    out << "\n";
    out << "run (" << f.instructions << " instructions, " << number(f.seconds * 1e3) << " ms simulated in "
        << number(f.wallSeconds * 1e3) << " ms of host time: " << number(f.seconds / f.wallSeconds, "%.1f")
        << " x real time)\n";
    if (f.wallSeconds < kShortRunWallSeconds) {
        // The first pass through code costs its translation; a short run
        // is mostly that, and its speed says little of a long one.
        out << "  speed: of this run alone, the image's loading left out; under " << number(kShortRunWallSeconds, "%.0f")
            << " s of host time it is mostly the simulator's start-up (translating code as it first runs): "
               "make sim-bench measures the speed over longer runs\n";
    }
    if (f.mainInstructions) {
        out << "  main reached after " << *f.mainInstructions << " instructions (" << number(*f.mainSeconds * 1e6)
            << " us)\n";
    } else if (!f.hasMain) {
        out << "  main: the image has no symbol main\n";
    }
    printUarts(f, out);
    printTime(f, out);
    printHeartbeat(f, out);
    printLcd(f, out);
    printDac(f, out);
}

void jsonField(std::ostream& out, bool& first, const std::string& name, const std::optional<double>& value)
{
    out << (first ? "" : ", ") << "\"" << name << "\": ";
    first = false;
    if (value) {
        char text[48];
        std::snprintf(text, sizeof text, "%.9g", *value);
        out << text;
    } else {
        out << "null";
    }
}

template <typename T>
std::optional<double> maybe(const std::optional<T>& v)
{
    return v ? std::optional<double>(double(*v)) : std::nullopt;
}

std::optional<double> scaled(const std::optional<double>& v, double by)
{
    return v ? std::optional<double>(*v * by) : std::nullopt;
}

// One output's figures: "B": {"updates": ..., "sfdr_dbc": ...}.
void printJsonDac(const SignalFigures& s, std::ostream& out)
{
    const SpectralFigures& sp = s.spectrum;
    const auto measured = [&](double value) { return sp.measured ? std::optional<double>(value) : std::nullopt; };
    bool first = true;
    out << "\"" << Tlv5618::outputName(s.output) << "\": {";
    jsonField(out, first, "updates", double(s.updates));
    jsonField(out, first, "update_hz", s.updateHz);
    jsonField(out, first, "update_jitter_rms_us", scaled(s.jitterRms, 1e6));
    jsonField(out, first, "update_jitter_pp_us", scaled(s.jitterPeakToPeak, 1e6));
    jsonField(out, first, "min_v", s.minVolts);
    jsonField(out, first, "max_v", s.maxVolts);
    jsonField(out, first, "frequency_hz", s.frequencyHz);
    jsonField(out, first, "period_updates", s.frequencyHz ? std::optional<double>(double(s.periodUpdates)) : std::nullopt);
    jsonField(out, first, "periods", double(s.periods));
    jsonField(out, first, "sfdr_dbc", measured(sp.sfdr_dbc));
    jsonField(out, first, "spur_hz", measured(sp.measured ? binHz(s, sp.spur_bin) : 0));
    jsonField(out, first, "fundamental_dbfs", measured(sp.fundamental_dbfs));
    jsonField(out, first, "thd_db", measured(sp.thd_db));
    jsonField(out, first, "sinad_db", measured(sp.sinad_db));
    jsonField(out, first, "enob_bits", measured(sp.enob_bits));
    out << ", \"note\": " << quoted(sp.measured ? sp.note : s.note.empty() ? sp.note : s.note) << "}";
}

void printJson(const ElfImage& image, const Figures& f, std::ostream& out)
{
    const ImageUse use = imageUse(image);
    const UartFigures& uart0 = f.uarts.at(0);
    bool first = true;
    out << "{";
    jsonField(out, first, "cclk_hz", f.cclkHz);
    jsonField(out, first, "pclk_hz", f.pclkHz);
    for (const UartFigures& u : f.uarts) {
        std::string key = u.name;
        for (char& c : key) {
            c = char(std::tolower(static_cast<unsigned char>(c)));
        }
        jsonField(out, first, key + "_baud", u.baud);
        jsonField(out, first, key + "_bytes", double(u.bytes));
    }
    jsonField(out, first, "main_reached_us", scaled(f.mainSeconds, 1e6));
    jsonField(out, first, "delay_unit_cycles", f.delayUnitCycles);
    jsonField(out, first, "delay_unit_us", scaled(f.delayUnitSeconds, 1e6));
    jsonField(out, first, "delay_unit_instructions", f.delayUnitInstructions);
    jsonField(out, first, "heartbeat_period_ms", scaled(f.heartbeatSeconds, 1e3));
    jsonField(out, first, "led_hz",
              f.heartbeatSeconds ? std::optional<double>(1.0 / *f.heartbeatSeconds) : std::nullopt);
    jsonField(out, first, "reset_to_greeting_us", scaled(uart0.firstLineSeconds, 1e6));
    jsonField(out, first, "reset_to_greeting_instructions", maybe(uart0.firstLineInstructions));
    jsonField(out, first, "spi0_sck_hz", f.spiSckHz);
    jsonField(out, first, "lcd_frame_ms", scaled(f.lcdFrameSeconds, 1e3));
    jsonField(out, first, "lcd_frames_per_s",
              f.lcdFrameSeconds ? std::optional<double>(1 / *f.lcdFrameSeconds) : std::nullopt);
    jsonField(out, first, "lcd_frame_sent_ms", scaled(f.lcdFrameSentSeconds, 1e3));
    jsonField(out, first, "sim_speed_x_real_time", f.seconds / f.wallSeconds);
    jsonField(out, first, "sim_wall_ms", f.wallSeconds * 1e3);
    jsonField(out, first, "instructions", double(f.instructions));
    jsonField(out, first, "simulated_ms", f.seconds * 1e3);
    jsonField(out, first, "flash_bytes", double(use.flashBytes));
    jsonField(out, first, "ram_bytes", double(use.ramTotal()));
    jsonField(out, first, "idle_share", f.idleShare);
    jsonField(out, first, "power_down_share", f.powerDownShare);
    out << ", \"interrupts_per_second\": {";
    for (size_t i = 0; i < f.interrupts.size(); ++i) {
        out << (i == 0 ? "" : ", ") << "\"" << f.interrupts[i].source << "\": " << number(f.interrupts[i].perSecond);
    }
    out << "}, \"dac_outputs\": {";
    for (size_t i = 0; i < f.dacOutputs.size(); ++i) {
        printJsonDac(f.dacOutputs[i], out << (i == 0 ? "" : ", "));
    }
    out << "}, \"mode_share\": {";
    for (size_t i = 0; i < f.modes.size(); ++i) {
        out << (i == 0 ? "" : ", ") << "\"" << f.modes[i].mode << "\": " << number(f.modes[i].share, "%.6f");
    }
    out << "}}\n";
}

}  // namespace

ImageUse imageUse(const ElfImage& image)
{
    ImageUse use;
    for (const LoadChunk& chunk : image.loadChunks()) {
        use.flashBytes += uint32_t(chunk.bytes.size());
    }
    for (const Section& s : image.sections()) {
        if (!s.allocated || !inRam(s.address)) {
            continue;
        }
        if (s.occupiesFile) {
            use.ramData += s.size;
        } else if (s.name == ".bss") {
            use.ramZeroed += s.size;
        } else {
            use.ramOther += s.size;
        }
    }
    return use;
}

std::vector<std::string> printReport(const ElfImage& image, std::ostream& out, const ReportRequest& request)
{
    const Figures f = measure(image, request);
    if (request.json) {
        printJson(image, f, out);
    } else {
        printText(image, f, out);
    }
    return f.problems;
}

}  // namespace boardsim
