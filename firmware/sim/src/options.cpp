#include "options.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <utility>

namespace boardsim {

const char* usageText()
{
    return "usage: boardsim IMAGE.elf [options]\n"
           "  --run N            stop once N instructions have run (default 5M)\n"
           "  --periods N        stop after N complete LED periods (low and high phase)\n"
           "  --press K@T[:D]    press KEY_K (1..4) once T instructions have run, for D\n"
           "                     instructions (default 1M, longer than a heartbeat)\n"
           "  --lcd FILE         write the LCD picture at the end (PNG; .pbm for PBM)\n"
           "  --lcd-at T:FILE    write the LCD picture once T instructions have run\n"
           "  --calls            also print calls and returns of the board's functions\n"
           "  --watch NAME       print calls and returns of function NAME (C or C++ name)\n"
           "  --trace-io         also print every peripheral register access\n"
           "  --report           print the image's instruction and memory figures\n"
           "  --quiet            print only faults and requested pictures\n"
           "  --gdb PORT         wait for gdb on 127.0.0.1:PORT before the first instruction\n"
           "                     and serve it (PORT 0: any free port, printed on stderr)\n"
           "Counts take the suffixes k and M. Every line starts with its instruction stamp.\n"
           "Exit status: 0 run completed, 1 fault or error, 2 bad command line.\n";
}

uint64_t parseCount(const std::string& text)
{
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
        ++digits;
    }
    if (digits == 0 || digits > 18) {
        throw UsageError("not a count: \"" + text + "\"");
    }
    uint64_t value = std::stoull(text.substr(0, digits));
    const std::string suffix = text.substr(digits);
    uint64_t scale = 1;
    if (suffix == "k") {
        scale = 1'000;
    } else if (suffix == "M") {
        scale = 1'000'000;
    } else if (!suffix.empty()) {
        throw UsageError("not a count: \"" + text + "\"");
    }
    if (value > std::numeric_limits<uint64_t>::max() / scale) {
        throw UsageError("count too large: \"" + text + "\"");
    }
    return value * scale;
}

namespace {

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
    press.at = parseCount(rest.substr(0, colon));
    press.hold = colon == std::string::npos ? kDefaultHold : parseCount(rest.substr(colon + 1));
    if (press.hold == 0) {
        throw UsageError("--press: a press must last at least one instruction");
    }
    return press;
}

LcdShot parseShot(const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size()) {
        throw UsageError("--lcd-at wants T:FILE, got \"" + text + "\"");
    }
    return {parseCount(text.substr(0, colon)), text.substr(colon + 1)};
}

// A key cannot go down again before it has come up: the second press would
// be lost on the board, and the log would show down, down, up, up.
void refuseOverlappingPresses(std::vector<KeyPress> presses)
{
    std::stable_sort(presses.begin(), presses.end(), [](const KeyPress& a, const KeyPress& b) {
        return a.key != b.key ? a.key < b.key : a.at < b.at;
    });
    for (size_t i = 1; i < presses.size(); ++i) {
        const KeyPress& held = presses[i - 1];
        const KeyPress& next = presses[i];
        if (next.key == held.key && next.at <= held.at + held.hold) {
            throw UsageError("--press: KEY_" + std::to_string(next.key) + " pressed at " + std::to_string(next.at) +
                             " while still held from " + std::to_string(held.at) + " until " +
                             std::to_string(held.at + held.hold) + "; a key must be up before it goes down again");
        }
    }
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
    if (options.gdbPort && (options.runGiven || options.periods || options.report || !options.shots.empty())) {
        throw UsageError("--gdb does not go with --run, --periods, --report, --lcd or --lcd-at");
    }
}

// The options that only switch something on.
bool Options::*switchOf(const std::string& arg)
{
    const std::pair<const char*, bool Options::*> switches[] = {
        {"--calls", &Options::showCalls}, {"--trace-io", &Options::traceIo}, {"--report", &Options::report},
        {"--quiet", &Options::quiet},     {"--help", &Options::help},        {"-h", &Options::help},
    };
    for (const auto& [name, member] : switches) {
        if (arg == name) {
            return member;
        }
    }
    return nullptr;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw UsageError(arg + " needs a value");
            }
            return args[++i];
        };
        if (arg == "--run") {
            options.run = parseCount(value());
            options.runGiven = true;
        } else if (arg == "--periods") {
            options.periods = parseCount(value());
        } else if (arg == "--press") {
            options.presses.push_back(parsePress(value()));
        } else if (arg == "--lcd") {
            options.shots.push_back({std::nullopt, value()});
        } else if (arg == "--lcd-at") {
            options.shots.push_back(parseShot(value()));
        } else if (arg == "--watch") {
            options.extraWatched.push_back(value());
        } else if (arg == "--gdb") {
            options.gdbPort = parsePort(value());
        } else if (bool Options::*on = switchOf(arg)) {
            options.*on = true;
        } else if (!arg.empty() && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else if (options.image.empty()) {
            options.image = arg;
        } else {
            throw UsageError("only one image, got \"" + options.image + "\" and \"" + arg + "\"");
        }
    }
    if (options.image.empty() && !options.help) {
        throw UsageError("no image given");
    }
    refuseOverlappingPresses(options.presses);
    refuseWithGdb(options);
    if (options.periods && !options.runGiven) {
        options.run = kPeriodRunCap;
    }
    return options;
}

}  // namespace boardsim
