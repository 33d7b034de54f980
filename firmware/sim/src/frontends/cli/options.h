// Command line of boardsim.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontends/web/web_address.h"
#include "frontends/signal/dac_out.h"
#include "machine/lpc2294.h"
#include "util/when.h"

namespace boardsim {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct KeyPress {
    int key = 0;
    When at;
    When hold;
};

struct LcdShot {
    std::optional<When> at;  // none: at the end of the run
    std::string path;
};

constexpr uint64_t kDefaultRun = 5'000'000;
constexpr uint64_t kPeriodRunCap = 1'000'000'000;

struct Options {
    std::string image;
    When run = {false, kDefaultRun, 0, "5M"};
    bool runGiven = false;
    std::optional<uint64_t> periods;
    std::vector<KeyPress> presses;
    std::vector<LcdShot> shots;
    std::vector<std::string> extraWatched;
    bool showCalls = false;
    bool traceIo = false;
    bool strict = false;  // what the data sheet rules out is a fault, not a warning
    bool report = false;
    std::optional<uint16_t> gdbPort;  // serve gdb instead of running alone
    bool quiet = false;
    bool json = false;
    bool help = false;
    double baud = kDefaultHostBaud;
    double bounce = kDefaultBounce;
    std::string ispLink;     // serve the ISP boot loader on a pty linked here
    std::string saveFlash;   // write the flash here when the run ends
    bool resetAfterIsp = false;
    double ispIdle = 10;     // seconds of silence that end the ISP session
    bool screen = false;        // the board live in the terminal
    double speed = 1;           // simulated seconds per wall second, when paced
    bool speedGiven = false;    // under gdb: runs paced only when asked
    std::string uartPty;        // a symlink to UART0's pseudo-terminal
    std::string lcdMovie;       // the LCD over the run, as an animated GIF
    std::string vcd;            // port 0's pins over the run, as a VCD
    uint32_t vcdPins = 0xFFFFFFFF;  // which of them
    bool vcdDac = true;             // and the DAC's outputs as analogue values
    bool vcdPinsGiven = false;
    uint32_t tracePins = 0;         // pins whose every edge is printed
    std::string dacOut;             // the DAC's outputs over the run, as a WAV file
    unsigned dacRate = kDefaultDacRate;  // its frames a second
    bool dacRateGiven = false;
    // A loopback plug on UART0's or UART1's connector (TxD wired to RxD).
    std::array<bool, Lpc2294Machine::kUarts> uartLoopback{};
    std::array<double, Lpc2294Machine::kAnalogInputs> ain{};  // volts on AIN0..AIN3
    std::vector<std::string> scenarios;  // run each on a fresh board instead of one run
    std::string junit;                   // the scenarios' results as JUnit XML
    std::optional<WebAddress> web;       // serve the board to browsers here
};

// Throws UsageError with a message fit for the user.
Options parseOptions(const std::vector<std::string>& args);
// "LED,P0_4,KEY_1" as a mask of port 0's pins; `option` names the option in
// the message of a UsageError.
uint32_t parsePins(const std::string& option, const std::string& text);
const char* usageText();

}  // namespace boardsim
