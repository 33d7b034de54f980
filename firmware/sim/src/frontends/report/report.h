// `boardsim --report`: figures of any image measured by running it: the
// clocks and line speeds it set, when it reached main and what it sent,
// how often each interrupt came, where the core's time went (each mode,
// idle, powered down), what each output of the DAC played; and for an image
// with the board's DelayMs and heartbeat, their figures too.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "frontends/signal/signal_figures.h"
#include "image/elf_image.h"
#include "machine/board.h"

namespace boardsim {

struct ImageUse {
    uint32_t flashBytes = 0;  // bytes programmed into flash
    uint32_t ramData = 0;     // initialised data copied to RAM
    uint32_t ramZeroed = 0;   // .bss
    uint32_t ramOther = 0;    // other RAM sections, e.g. stack reserve
    uint32_t ramTotal() const { return ramData + ramZeroed + ramOther; }
};

ImageUse imageUse(const ElfImage& image);

struct ReportRequest {
    // The run: at most this many instructions, or this long; an image with
    // a heartbeat stops after `periods` of it, unless `toLimit` (keys are
    // pressed to start what is to be measured).
    When limit = When::instructions(50'000'000);
    double maxSeconds = 10;
    uint64_t periods = 3;
    double hostBaud = kDefaultHostBaud;
    bool json = false;
    // The board as the command line made it (loopback plugs, key contacts);
    // none: as the image's profile gives it.
    std::optional<BoardOptions> board;
    bool toLimit = false;
    // Called with the board before it runs: the keys a user presses.
    std::function<void(Board&)> prepare;
};

struct UartFigures {
    std::string name;  // "UART0"
    std::optional<double> baud;
    std::string frameFormat;
    uint64_t bytes = 0;
    std::optional<std::string> firstLine;
    std::optional<uint64_t> firstLineInstructions;
    std::optional<double> firstLineSeconds;  // reset to the line's last stop bit
};

struct InterruptFigures {
    std::string source;  // the VIC channel's name: "TIMER0"
    uint64_t count = 0;
    double perSecond = 0;
};

struct ModeShare {
    std::string mode;  // "System", "IRQ", ..., "idle", "powered down"
    double share = 0;  // of all cycles
};

struct Figures {
    uint64_t instructions = 0;
    double seconds = 0;
    double wallSeconds = 0;
    double cclkHz = 0;
    double pclkHz = 0;
    bool hasMain = false;
    std::optional<uint64_t> mainInstructions;
    std::optional<double> mainSeconds;
    std::vector<UartFigures> uarts;
    std::vector<InterruptFigures> interrupts;
    std::vector<ModeShare> modes;
    double idleShare = 0;
    double powerDownShare = 0;
    // The board's own firmware: DelayMs and the LED's heartbeat.
    bool hasHeartbeat = false;
    std::optional<uint32_t> delayArgument;
    std::optional<uint64_t> delayInstructions;
    std::optional<double> delayUnitInstructions;
    std::optional<double> delayUnitCycles;
    std::optional<double> delayUnitSeconds;
    std::optional<uint64_t> delayZeroInstructions;
    std::optional<uint64_t> heartbeatLow, heartbeatHigh;  // instructions
    std::optional<double> heartbeatSeconds;
    uint64_t heartbeats = 0;
    // The LCD over SPI0, when the image set SPI0 up as master: SCK, a whole
    // frame's bytes on the wire, and the longest run of display data bytes
    // the image actually sent (a whole frame, if it sent one).
    std::optional<double> spiSckHz;
    std::optional<double> lcdFrameSeconds;
    std::optional<double> lcdFrameSentSeconds;
    // Each output of the DAC that a word set during the run.
    std::vector<SignalFigures> dacOutputs;
    std::vector<std::string> problems;  // what could not be measured, or went wrong
};

Figures measure(const ElfImage& image, const ReportRequest& request);

// Runs the image and prints the figures, as text or as one JSON object.
// Returns what could not be measured or went wrong (a fault, a run that
// never reached main or sent nothing, a run too short for a figure), one
// sentence each.
std::vector<std::string> printReport(const ElfImage& image, std::ostream& out, const ReportRequest& request);

}  // namespace boardsim
