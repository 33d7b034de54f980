#include "frontends/cli/options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <limits>
#include <utility>

#include "machine/pin_names.h"
#include "peripherals/adc.h"

namespace boardsim {

const char* usageText()
{
    return "usage: boardsim IMAGE.elf [options]\n"
           "       boardsim --isp LINK [IMAGE.elf] [options]\n"
           "  --run T            stop at T: an instruction count (5M) or a time (2s) (default 5M)\n"
           "  --periods N        stop after N heartbeats (LED low for a DelayMs, then high)\n"
           "  --press K@T[:D]    press KEY_K (1..4) at T for D (default 80ms, as at the\n"
           "                     live screen); T and D are counts or times\n"
           "  --bounce T         contact chatter at each key edge (default 5ms; 0: clean)\n"
           "  --baud N           the rate the terminal on UART0 listens at (default 115200);\n"
           "                     a plain run fails on the garbage it would read\n"
           "  --lcd FILE         write the LCD picture at the end (PNG; .pbm for PBM)\n"
           "  --lcd-at T:FILE    write the LCD picture at T\n"
           "  --calls            also print calls and returns of the board's functions\n"
           "  --watch NAME       print calls and returns of function NAME (C or C++ name)\n"
           "  --trace-io         also print every peripheral register access\n"
           "  --trace-pins LIST  also print every edge of these pins (LED,KEY_1,P0_4,...);\n"
           "                     a run ends with a summary of each pin's edges either way\n"
           "  --strict           fail on what the data sheet rules out and the chip does all\n"
           "                     the same (a PLL oscillator outside 156-320 MHz), a warning\n"
           "                     otherwise\n"
           "  --report           print the image's clock, timing and memory figures, and\n"
           "                     what each DAC output played (with --press: the run goes\n"
           "                     to --run, default 50M, at most 10 s)\n"
           "  --json             with --report: one JSON object\n"
           "  --quiet            print only faults and requested pictures\n"
           "  --gdb PORT         wait for gdb on 127.0.0.1:PORT before the first instruction\n"
           "                     and serve it (PORT 0: any free port, printed on stderr)\n"
           "  --isp LINK         start in the ISP boot loader (as with P0.14 low at reset) on a\n"
           "                     pseudo-terminal linked at LINK; IMAGE, if given, is in flash;\n"
           "                     after G the board runs on, paced, UART0 on LINK\n"
           "  --isp-idle T       end the ISP session when a host that has spoken is then\n"
           "                     quiet for T (default 10s)\n"
           "  --reset-after-isp  run what is in flash also when the host did not start it\n"
           "  --save-flash FILE  write the 256 KiB of flash to FILE when the run ends\n"
           "  --screen           the board live in the terminal: LCD, LED, UART0, time;\n"
           "                     keys 1-4 press KEY_1..KEY_4, q quits (runs until q\n"
           "                     unless --run is given)\n"
           "  --speed X          with --screen, --uart-pty or after --isp's G: X times real\n"
           "                     time (default 1); with --gdb: paces runs (unpaced without)\n"
           "  --uart-pty LINK    UART0 on a pseudo-terminal, LINK a symlink to it (for\n"
           "                     picocom -b 115200 LINK), read at the rate the terminal\n"
           "                     set; runs in real time until interrupted unless --run\n"
           "                     is given\n"
           "  --lcd-movie FILE   the LCD over the run as an animated GIF\n"
           "  --vcd FILE         port 0's pins over the run as a VCD (GTKWave, PulseView,\n"
           "                     sigrok), in simulated nanoseconds\n"
           "                     and the DAC's outputs DAC_A, DAC_B as real values (volts)\n"
           "  --vcd-pins LIST    only these in it: P0_0,P0.4,LED,TXD0,KEY_1,...,DAC_B\n"
           "  --dac-out FILE     the DAC's outputs over the run as a WAV file: 32-bit float,\n"
           "                     volts, channel 1 output A, channel 2 output B\n"
           "  --dac-rate HZ      its samples a second, each output sampled and held\n"
           "                     (default 1M)\n"
           "  --ain N=VOLTS      the voltage on the A/D input AIN N (0..3, P0.27..P0.30),\n"
           "                     0 to 3.3 V (default 0); may be given for each input\n"
           "  --uart-loopback    a loopback plug on UART0 (TxD0 wired to RxD0) instead of\n"
           "                     the terminal; --uart1-loopback the same on UART1\n"
           "  --scenario FILE    run the steps of a scenario (YAML) on a fresh board; may be\n"
           "                     given several times (see docs/scenarios.md)\n"
           "  --junit FILE       with --scenario: the results as JUnit XML, for CI\n"
           "  --web [ADDR:]PORT  the board live in a browser at http://ADDR:PORT/ (ADDR\n"
           "                     127.0.0.1 unless given; elsewhere a printed token is\n"
           "                     required); runs until interrupted\n"
           "Counts take the suffixes k and M, times s, ms and us. Every line starts with\n"
           "the instructions executed and the simulated time.\n"
           "Exit status: 0 run completed, 1 fault or error, 2 bad command line.\n"
           "With --scenario: 0 all passed, 1 a step failed, 2 a scenario could not be read.\n";
}

namespace {

double parseBaud(const std::string& text)
{
    const uint64_t baud = parseCount(text);
    if (baud < 50 || baud > 4'000'000) {
        throw UsageError("--baud: not a line speed: \"" + text + "\"");
    }
    return double(baud);
}

double parseSpeed(const std::string& text)
{
    char* end = nullptr;
    const double speed = std::strtod(text.c_str(), &end);
    const bool plain = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
    if (!plain || end != text.c_str() + text.size() || !(speed >= 0.001) || speed > 1000) {
        throw UsageError("--speed wants a factor from 0.001 to 1000, got \"" + text + "\"");
    }
    return speed;
}

// --screen, --speed, --uart-pty, --lcd-movie, --vcd.
void checkLiveOptions(Options& options)
{
    if (options.report && (options.screen || !options.uartPty.empty() || !options.lcdMovie.empty() ||
                           !options.vcd.empty() || options.tracePins != 0 || !options.dacOut.empty())) {
        throw UsageError(
            "--report runs on its own, without --screen, --uart-pty, --lcd-movie, --vcd, --trace-pins or --dac-out");
    }
    // It prints figures and writes no file.
    if (options.report && !options.shots.empty()) {
        throw UsageError("--report writes no picture: not with --lcd or --lcd-at");
    }
    if (options.report && !options.saveFlash.empty()) {
        throw UsageError("--report writes no file: not with --save-flash");
    }
    if (options.vcdPinsGiven && options.vcd.empty()) {
        throw UsageError("--vcd-pins goes with --vcd");
    }
    if (options.dacRateGiven && options.dacOut.empty()) {
        throw UsageError("--dac-rate goes with --dac-out");
    }
    if (options.screen) {
        options.quiet = true;  // the terminal is the screen's; trace lines would tear it
    }
}

KeyPress parsePress(const std::string& text)
{
    const size_t at = text.find('@');
    if (at == std::string::npos) {
        throw UsageError("--press wants K@T[:D], got \"" + text + "\"");
    }
    KeyPress press;
    const std::string key = text.substr(0, at);
    if (key.size() != 1 || key[0] < '1' || key[0] > '4') {
        throw UsageError("--press: key must be 1, 2, 3 or 4, got \"" + key + "\"");
    }
    press.key = key[0] - '0';
    const std::string rest = text.substr(at + 1);
    const size_t colon = rest.find(':');
    press.at = parseWhen(rest.substr(0, colon));
    press.hold = colon == std::string::npos ? defaultKeyPress() : parseWhen(rest.substr(colon + 1));
    if (press.hold.isTime ? press.hold.seconds <= 0 : press.hold.count == 0) {
        throw UsageError("--press: a press must last a while");
    }
    return press;
}

LcdShot parseShot(const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size()) {
        throw UsageError("--lcd-at wants T:FILE, got \"" + text + "\"");
    }
    return {parseWhen(text.substr(0, colon)), text.substr(colon + 1)};
}

// A key cannot go down again before it has come up: the second press would
// be lost on the board, and the log would show down, down, up, up. Presses
// given in instructions are checked here; the board checks the rest as it
// runs, when counts and times can be compared.
void refuseOverlappingPresses(std::vector<KeyPress> presses)
{
    presses.erase(std::remove_if(presses.begin(), presses.end(),
                                 [](const KeyPress& p) { return p.at.isTime || p.hold.isTime; }),
                  presses.end());
    std::stable_sort(presses.begin(), presses.end(), [](const KeyPress& a, const KeyPress& b) {
        return a.key != b.key ? a.key < b.key : a.at.count < b.at.count;
    });
    for (size_t i = 1; i < presses.size(); ++i) {
        const KeyPress& held = presses[i - 1];
        const KeyPress& next = presses[i];
        if (next.key == held.key && next.at.count <= held.at.count + held.hold.count) {
            throw UsageError("--press: KEY_" + std::to_string(next.key) + " pressed at " +
                             std::to_string(next.at.count) + " while still held from " +
                             std::to_string(held.at.count) + " until " +
                             std::to_string(held.at.count + held.hold.count) +
                             "; a key must be up before it goes down again");
        }
    }
}


// --vcd-pins: pins as parsePins takes them, and the DAC's outputs DAC_A
// and DAC_B, which set `dac`.
uint32_t parseVcdPins(const std::string& text, bool& dac)
{
    dac = false;
    std::string pins;
    bool pinNamed = false;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string name = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (name == "DAC_A" || name == "DAC_B") {
            dac = true;
        } else {
            pins += (pinNamed ? "," : "") + name;
            pinNamed = true;
        }
        if (comma == std::string::npos) {
            break;
        }
        from = comma + 1;
    }
    return pinNamed ? parsePins("--vcd-pins", pins) : 0;
}

// Whole hertz, as a WAV file's header holds its rate: 1k to 100M.
unsigned parseDacRate(const std::string& text)
{
    const uint64_t rate = parseCount(text);
    if (rate < 1000 || rate > 100'000'000) {
        throw UsageError("--dac-rate wants a rate from 1k to 100M samples a second, got \"" + text + "\"");
    }
    return unsigned(rate);
}

uint16_t parsePort(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(text) > 65535) {
        throw UsageError("--gdb wants a TCP port (0 to 65535), got \"" + text + "\"");
    }
    return uint16_t(std::stoul(text));
}

// Under gdb the run ends when gdb says so, and pictures come from "monitor lcd".
void refuseWithGdb(const Options& options)
{
    if (options.gdbPort && (options.runGiven || options.periods || options.report || !options.shots.empty() ||
                            !options.ispLink.empty() || !options.saveFlash.empty() || options.screen ||
                            !options.uartPty.empty() || !options.lcdMovie.empty())) {
        throw UsageError("--gdb does not go with --run, --periods, --report, --lcd, --lcd-at, --isp, --save-flash, "
                         "--screen, --uart-pty or --lcd-movie");
    }
}

double parseBounce(const std::string& text)
{
    const When bounce = text == "0" ? When{true, 0, 0, text} : parseWhen(text);
    if (!bounce.isTime || bounce.seconds > 0.1) {
        throw UsageError("--bounce wants a time up to 100ms (or 0), got \"" + text + "\"");
    }
    return bounce.seconds;
}

// "1=1.65": AIN1 at 1.65 V.
void parseAin(Options& options, const std::string& text)
{
    const size_t equals = text.find('=');
    const std::string channel = text.substr(0, equals);
    const std::string volts = equals == std::string::npos ? "" : text.substr(equals + 1);
    char* end = nullptr;
    const double value = std::strtod(volts.c_str(), &end);
    if (channel.size() != 1 || channel[0] < '0' || channel[0] >= char('0' + Lpc2294Machine::kAnalogInputs) ||
        volts.empty() || volts.find_first_not_of("0123456789.") != std::string::npos ||
        end != volts.c_str() + volts.size() || !(value <= adc::kReferenceVolts)) {
        throw UsageError("--ain wants N=VOLTS, N an input 0 to 3 (AIN4 to AIN7 are not modelled) and VOLTS from 0 "
                         "to 3.3, such as 1=1.65, got \"" + text + "\"");
    }
    options.ain[size_t(channel[0] - '0')] = value;
}

double parseIdle(const std::string& text)
{
    const When idle = parseWhen(text);
    if (!idle.isTime || idle.seconds <= 0) {
        throw UsageError("--isp-idle wants a time, got \"" + text + "\"");
    }
    return idle.seconds;
}

std::string fileName(const std::string& option, const std::string& value)
{
    if (value.empty()) {
        throw UsageError(option + " wants a file name");
    }
    return value;
}

WebAddress parseWeb(const std::string& text)
{
    try {
        return parseWebAddress(text);
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
}

// The browser is the board's only front: what another front or a run to
// an end would take is refused.
void checkWebOptions(const Options& options)
{
    if (options.web &&
        (options.runGiven || options.periods || !options.shots.empty() || options.report || options.gdbPort ||
         !options.ispLink.empty() || !options.saveFlash.empty() || options.screen || !options.uartPty.empty() ||
         !options.lcdMovie.empty() || !options.vcd.empty() || !options.scenarios.empty() || options.showCalls ||
         !options.extraWatched.empty() || options.traceIo)) {
        throw UsageError("--web serves the board until interrupted: not with --run, --periods, --lcd, --lcd-at, "
                         "--report, --gdb, --isp, --save-flash, --screen, --uart-pty, --lcd-movie, --vcd, "
                         "--scenario, --calls, --watch or --trace-io");
    }
}

using Flag = void (*)(Options&);
using Valued = void (*)(Options&, const std::string&);

const std::map<std::string, Flag>& flags()
{
    static const std::map<std::string, Flag> table = {
        {"--calls", [](Options& o) { o.showCalls = true; }},
        {"--trace-io", [](Options& o) { o.traceIo = true; }},
        {"--strict", [](Options& o) { o.strict = true; }},
        {"--report", [](Options& o) { o.report = true; }},
        {"--json", [](Options& o) { o.json = true; }},
        {"--reset-after-isp", [](Options& o) { o.resetAfterIsp = true; }},
        {"--quiet", [](Options& o) { o.quiet = true; }},
        {"--uart-loopback", [](Options& o) { o.uartLoopback[0] = true; }},
        {"--uart1-loopback", [](Options& o) { o.uartLoopback[1] = true; }},
        {"--screen", [](Options& o) { o.screen = true; }},
        {"--help", [](Options& o) { o.help = true; }},
        {"-h", [](Options& o) { o.help = true; }},
    };
    return table;
}

const std::map<std::string, Valued>& valuedOptions()
{
    static const std::map<std::string, Valued> table = {
        {"--run",
         [](Options& o, const std::string& v) {
             o.run = parseWhen(v);
             o.runGiven = true;
         }},
        {"--periods", [](Options& o, const std::string& v) { o.periods = parseCount(v); }},
        {"--press", [](Options& o, const std::string& v) { o.presses.push_back(parsePress(v)); }},
        {"--lcd", [](Options& o, const std::string& v) { o.shots.push_back({std::nullopt, v}); }},
        {"--lcd-at", [](Options& o, const std::string& v) { o.shots.push_back(parseShot(v)); }},
        {"--watch", [](Options& o, const std::string& v) { o.extraWatched.push_back(v); }},
        {"--baud", [](Options& o, const std::string& v) { o.baud = parseBaud(v); }},
        {"--bounce", [](Options& o, const std::string& v) { o.bounce = parseBounce(v); }},
        {"--isp", [](Options& o, const std::string& v) { o.ispLink = v; }},
        {"--isp-idle", [](Options& o, const std::string& v) { o.ispIdle = parseIdle(v); }},
        {"--save-flash", [](Options& o, const std::string& v) { o.saveFlash = v; }},
        {"--speed",
         [](Options& o, const std::string& v) {
             o.speed = parseSpeed(v);
             o.speedGiven = true;
         }},
        {"--gdb", [](Options& o, const std::string& v) { o.gdbPort = parsePort(v); }},
        {"--uart-pty", [](Options& o, const std::string& v) { o.uartPty = fileName("--uart-pty", v); }},
        {"--lcd-movie", [](Options& o, const std::string& v) { o.lcdMovie = fileName("--lcd-movie", v); }},
        {"--scenario", [](Options& o, const std::string& v) { o.scenarios.push_back(fileName("--scenario", v)); }},
        {"--junit", [](Options& o, const std::string& v) { o.junit = fileName("--junit", v); }},
        {"--vcd", [](Options& o, const std::string& v) { o.vcd = fileName("--vcd", v); }},
        {"--web", [](Options& o, const std::string& v) { o.web = parseWeb(v); }},
        {"--vcd-pins",
         [](Options& o, const std::string& v) {
             o.vcdPins = parseVcdPins(v, o.vcdDac);
             o.vcdPinsGiven = true;
         }},
        {"--trace-pins", [](Options& o, const std::string& v) { o.tracePins |= parsePins("--trace-pins", v); }},
        {"--dac-out", [](Options& o, const std::string& v) { o.dacOut = fileName("--dac-out", v); }},
        {"--ain", [](Options& o, const std::string& v) { parseAin(o, v); }},
        {"--dac-rate",
         [](Options& o, const std::string& v) {
             o.dacRate = parseDacRate(v);
             o.dacRateGiven = true;
         }},
    };
    return table;
}

// A scenario drives its own board from reset, with its own time, keys and
// pictures; what the run of a plain image takes has no place there.
void checkScenarioOptions(const Options& options)
{
    if (options.scenarios.empty()) {
        if (!options.junit.empty()) {
            throw UsageError("--junit goes with --scenario");
        }
        return;
    }
    if (options.runGiven || options.periods || !options.presses.empty() || !options.shots.empty() ||
        options.report || options.gdbPort || !options.ispLink.empty() || !options.saveFlash.empty() ||
        options.screen || !options.uartPty.empty() || options.showCalls || !options.extraWatched.empty() ||
        options.traceIo || options.tracePins != 0) {
        throw UsageError("--scenario runs its steps on its own boards: not with --run, --periods, --press, --lcd, "
                         "--lcd-at, --report, --gdb, --isp, --save-flash, --screen, --uart-pty, --calls, --watch, "
                         "--trace-io or --trace-pins");
    }
}

void checkCombination(Options& options)
{
    if (options.image.empty() && !options.help && options.ispLink.empty()) {
        throw UsageError("no image given");
    }
    refuseOverlappingPresses(options.presses);
    checkWebOptions(options);
    checkScenarioOptions(options);
    refuseWithGdb(options);
    if (options.periods && !options.runGiven) {
        options.run = {false, kPeriodRunCap, 0, "1000M"};
    }
    if (!options.ispLink.empty() && options.report) {
        throw UsageError("--report runs an image from reset: not with --isp");
    }
    if (options.uartLoopback[0] && (!options.uartPty.empty() || !options.ispLink.empty())) {
        throw UsageError("--uart-loopback plugs UART0's connector: not with --uart-pty or --isp, which use it");
    }
    if (!options.ispLink.empty() && !options.uartPty.empty()) {
        throw UsageError("--isp already puts UART0 on its pseudo-terminal: not with --uart-pty");
    }
    if (options.json && !options.report) {
        throw UsageError("--json goes with --report");
    }
    checkLiveOptions(options);
}

}  // namespace

uint32_t parsePins(const std::string& option, const std::string& text)
{
    uint32_t mask = 0;
    size_t from = 0;
    for (;;) {
        const size_t comma = text.find(',', from);
        const std::string name = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        const std::optional<unsigned> pin = pinByName(name);
        if (!pin) {
            std::string message = option;
            message += " wants pins of port 0, by number (P0.4 or P0_4, P0.0 to P0.31) or by the board's names (";
            message += boardPinNames() + "), got \"" + name + "\"";
            throw UsageError(message);
        }
        mask |= 1u << *pin;
        if (comma == std::string::npos) {
            return mask;
        }
        from = comma + 1;
    }
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const auto flag = flags().find(arg); flag != flags().end()) {
            flag->second(options);
        } else if (const auto valued = valuedOptions().find(arg); valued != valuedOptions().end()) {
            if (i + 1 >= args.size()) {
                throw UsageError(arg + " needs a value");
            }
            try {
                valued->second(options, args[++i]);
            } catch (const BadValue& e) {
                throw UsageError(arg + ": " + e.what());
            }
        } else if (!arg.empty() && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (options.image.empty()) {
            options.image = arg;
        } else {
            throw UsageError("only one image, got \"" + options.image + "\" and \"" + arg + "\"");
        }
    }
    checkCombination(options);
    return options;
}

}  // namespace boardsim
