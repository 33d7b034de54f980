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
    // The line's level during bit `n` of the frame (0: the start bit).
    bool level(unsigned n) const
    {
        if (n == 0) {
            return false;
        }
        if (n <= dataBits) {
            return ((byte >> (n - 1)) & 1u) != 0;
        }
        return n == dataBits + 1 && parity >= 0 ? parity != 0 : true;
    }
};

// An 8N1 receiver at a rate of its own reading the line as its frames come
// (in time order, each once it has ended): it waits for a falling edge,
// samples the middle of each bit, and keeps a byte even when its stop bit is
// wrong (as terminals show them).
class LineReceiver {
public:
    explicit LineReceiver(double baud) : baud_(baud) {}

    double baud() const { return baud_; }
    // From the next start bit on, the receiver samples at `baud`.
    void setBaud(double baud) { baud_ = baud; }
    void add(const LineFrame& frame);
    // The bytes read by `until`: each whose last sample lies where the line
    // is known, which is up to the end of the last frame added, and up to
    // `until` less the longest frame (one not added yet cannot have started
    // earlier).
    std::string take(double until);

private:
    double baud_;
    double huntFrom_ = 0;  // where the next start bit is looked for
    std::vector<LineFrame> frames_;
};

// Whether a receiver at one rate reads a line at the other: within 3 %.
bool ratesAgree(double lineBaud, double receiverBaud);

// What an 8N1 receiver at `baud` reads from these frames (in time order).
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
