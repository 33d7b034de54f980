// `boardsim --report`: figures of an image measured by running it.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "machine/board.h"
#include "image/elf_image.h"

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
    When limit = When::instructions(50'000'000);
    uint64_t periods = 3;
    double hostBaud = kDefaultHostBaud;
    bool json = false;
};

// What a run from reset through a few heartbeats shows.
struct Figures {
    uint64_t instructions = 0;
    double seconds = 0;
    double wallSeconds = 0;
    double cclkHz = 0;
    double pclkHz = 0;
    std::optional<double> uartBaud;
    std::string frameFormat;
    std::optional<std::string> greeting;
    std::optional<uint64_t> greetingInstructions;
    std::optional<double> greetingSeconds;  // reset to the greeting's last stop bit
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
    std::vector<std::string> problems;  // what could not be measured, or went wrong
};

Figures measure(const ElfImage& image, const ReportRequest& request);

// Runs the image and prints the figures, as text or as one JSON object.
// Returns what could not be measured (a fault, a run too short for a
// figure), one sentence each.
std::vector<std::string> printReport(const ElfImage& image, std::ostream& out, const ReportRequest& request);

}  // namespace boardsim
