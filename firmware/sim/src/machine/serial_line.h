// The wire between TxD0 and the host's terminal. A frame is one character
// as the UART puts it on the line (start bit, data bits LSB first, optional
// parity, stop bits) at the UART's rate; the terminal samples the line at
// its own rate, as a real receiver does, so a wrong rate shows the garbage a
// real terminal would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace boardsim {

struct LineFrame {
    double start = 0;      // seconds: the falling edge of the start bit
    double baud = 0;       // bits per second on the line
    uint8_t byte = 0;
    unsigned dataBits = 8;
    int parity = -1;       // -1 none, else the parity bit sent
    unsigned stopBits = 1;

    unsigned bits() const { return 1 + dataBits + (parity >= 0 ? 1 : 0) + stopBits; }
    double end() const { return start + bits() / baud; }
};

// What an 8N1 receiver at `baud` reads from these frames (in time order):
// it waits for a falling edge, samples the middle of each bit, and keeps a
// byte even when its stop bit is wrong (as terminals show them).
std::string receiveAt(const std::vector<LineFrame>& frames, double baud);

// The host end of UART0: a terminal listening at a fixed rate.
class HostTerminal {
public:
    explicit HostTerminal(double baud) : baud_(baud) {}

    // Takes a frame off the wire; returns true when the rates are more than
    // 3 % apart (the terminal reads garbage).
    bool receive(const LineFrame& frame);

    double baud() const { return baud_; }
    bool garbled() const { return garbled_; }
    double lineBaud() const { return lineBaud_; }
    // What the terminal has shown of the last frames it kept.
    std::string seen() const { return receiveAt(frames_, baud_); }

private:
    static constexpr size_t kKeptFrames = 1024;
    double baud_;
    double lineBaud_ = 0;
    bool garbled_ = false;
    std::vector<LineFrame> frames_;
};

}  // namespace boardsim
