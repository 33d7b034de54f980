// A scenario: steps that drive the simulated board from reset and check what
// it does, read from a YAML file (scenario_parse.h) and run on a fresh board
// (scenario_run.h). Every value has been checked when the file was read, so
// that a run fails only for what the board did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "machine/keypad.h"
#include "frontends/scenario/serial_match.h"
#include "util/when.h"

namespace boardsim {

constexpr double kDefaultScenarioTimeout = 30;  // simulated seconds
constexpr double kDefaultBlinkTolerance = 0.05;
constexpr double kDefaultSignalTolerance = 0.01;
constexpr double kDefaultSignalPeriods = 4;     // expect-signal measures this many by default

// Runs the board on for a count or a time.
struct DelayStep {
    When length;
};

// Until text (or a match of a regular expression) has arrived from a UART,
// searching from where the last wait on that UART matched.
struct WaitSerialStep {
    int uart = 0;
    std::string text;                  // the literal, or the pattern's source
    SerialPattern pattern;             // when the text is a regular expression (RE2's syntax)
    std::optional<double> timeout;     // none: until the scenario's end
};

// Bytes from the host's terminal into a UART, at the terminal's rate.
struct WriteSerialStep {
    int uart = 0;
    std::string text;
};

// A key pressed and let go (`press`), held down (`hold`) or let go (`release`).
struct KeyStep {
    enum Action { Press, Hold, Release } action = Press;
    int key = 0;                                        // 1..4
    When length = defaultKeyPress();                    // Press only
};

// A pin's level now (`expect-pin`), or once it gets there (`wait-pin`).
struct PinStep {
    unsigned pin = 0;
    bool level = false;
    bool wait = false;
    std::optional<double> timeout;  // wait only
};

// A pin blinking at a frequency (and duty) within a tolerance, measured over
// a stretch of the run.
struct BlinkStep {
    unsigned pin = 0;
    double hz = 0;
    std::optional<double> duty;     // high share of a period, 0..1
    double tolerance = kDefaultBlinkTolerance;  // of each expected value
    double over = 0;                // seconds measured
};

// The LCD's glass compared with a blank one or a picture (`expect-lcd`), or
// written to a picture (`save-lcd`).
struct LcdStep {
    enum Action { ExpectBlank, ExpectPicture, Save } action = ExpectBlank;
    std::string path;               // resolved against the scenario's folder
    std::string shownPath;          // as the scenario names it
    std::vector<uint8_t> expected;  // ExpectPicture: the picture as an LCD frame
};

// A DAC output measured over a stretch of the run (frontends/signal): its
// frequency within a tolerance, and if given, the range it stays in and the
// least SFDR.
struct SignalStep {
    unsigned output = 0;  // Tlv5618::kA or kB
    double hz = 0;
    double tolerance = kDefaultSignalTolerance;
    std::optional<double> min;   // volts
    std::optional<double> max;   // volts
    std::optional<double> sfdr;  // dBc
    double over = 0;             // seconds measured
};

// The DAC's outputs written to a WAV file: since reset, or over the last
// stretch before now.
struct SaveSignalStep {
    std::string path;                // resolved against the scenario's folder
    std::string shownPath;           // as the scenario names it
    std::optional<double> last;      // seconds before now; none: since reset
    unsigned rate = 0;               // frames a second
};

// The voltage the board puts on an A/D input from now on.
struct SetAinStep {
    unsigned channel = 0;  // AIN0..AIN3
    double volts = 0;
};

using StepAction = std::variant<DelayStep, WaitSerialStep, WriteSerialStep, KeyStep, PinStep, BlinkStep, LcdStep,
                                SignalStep, SaveSignalStep, SetAinStep>;

struct Step {
    int number = 0;      // 1-based, as messages count them
    int line = 0;        // in the scenario file, 1-based
    std::string kind;    // as written: "wait-serial"
    std::string summary; // the step as printed: wait-serial "Hello"
    StepAction action;
};

struct Scenario {
    std::string file;     // as given
    std::string folder;   // what paths in it are relative to (empty: the current folder)
    std::string name;     // `name:`, else the file's stem
    double timeout = kDefaultScenarioTimeout;
    std::vector<Step> steps;
    uint32_t pinsWatched = 0;  // the pins steps follow in time (wait-pin, expect-blink)
    bool followsDac = false;   // steps measure or save the DAC's outputs
};

// A scenario file's stem: "version" for "firmware/scenarios/version.yaml".
std::string scenarioStem(const std::string& file);


}  // namespace boardsim
