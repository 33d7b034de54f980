#include "machine/serial_line.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace boardsim {
namespace {

constexpr double kTolerance = 0.03;
// Start, 8 data bits, parity, 2 stop bits.
constexpr double kLongestFrameBits = 12;

// Level of the line at `t`: idle high, each frame's bits in turn.
class Line {
public:
    explicit Line(const std::vector<LineFrame>& frames) : frames_(frames) {}

    bool level(double t) const
    {
        for (const LineFrame& f : frames_) {
            if (t >= f.start && t < f.end()) {
                const auto bit = unsigned((t - f.start) * f.baud);
                if (bit == 0) {
                    return false;  // start bit
                }
                if (bit <= f.dataBits) {
                    return ((f.byte >> (bit - 1)) & 1) != 0;
                }
                if (f.parity >= 0 && bit == f.dataBits + 1) {
                    return f.parity != 0;
                }
                return true;  // stop bits
            }
        }
        return true;
    }

    // The next falling edge at or after `t`: the start of a low bit.
    bool nextFall(double t, double& at) const
    {
        for (const LineFrame& f : frames_) {
            if (f.end() <= t) {
                continue;
            }
            for (unsigned bit = 0; bit < f.bits(); ++bit) {
                const double edge = f.start + bit / f.baud;
                if (edge + 1e-12 < t) {
                    continue;
                }
                const bool low = !level(edge + 0.5 / f.baud);
                const bool wasHigh = bit == 0 ? true : level(edge - 0.5 / f.baud);
                if (low && wasHigh) {
                    at = edge;
                    return true;
                }
            }
        }
        return false;
    }

private:
    const std::vector<LineFrame>& frames_;
};

}  // namespace

void LineReceiver::add(const LineFrame& frame)
{
    frames_.push_back(frame);
}

std::string LineReceiver::take(double until)
{
    if (frames_.empty()) {
        return {};
    }
    const LineFrame& last = frames_.back();
    const double known = std::max(last.end(), until - kLongestFrameBits / last.baud);
    const Line line(frames_);
    std::string text;
    double edge = 0;
    const double bit = 1.0 / baud_;
    while (line.nextFall(huntFrom_, edge) && edge + 8.5 * bit <= known) {
        uint8_t byte = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if (line.level(edge + (1.5 + i) * bit)) {
                byte |= uint8_t(1u << i);
            }
        }
        text += char(byte);
        huntFrom_ = edge + 9.5 * bit;  // the middle of the stop bit: hunt for the next start from there
    }
    // Frames wholly before the hunt no longer matter.
    const auto done = std::find_if(frames_.begin(), frames_.end(),
                                   [this](const LineFrame& f) { return f.end() > huntFrom_; });
    frames_.erase(frames_.begin(), done);
    return text;
}

bool ratesAgree(double lineBaud, double receiverBaud)
{
    return std::fabs(lineBaud / receiverBaud - 1.0) <= kTolerance;
}

std::string receiveAt(const std::vector<LineFrame>& frames, double baud)
{
    LineReceiver receiver(baud);
    for (const LineFrame& frame : frames) {
        receiver.add(frame);
    }
    return receiver.take(std::numeric_limits<double>::infinity());
}

bool HostTerminal::receive(const LineFrame& frame)
{
    if (frames_.size() >= kKeptFrames) {
        // A long run keeps only the recent past: what the terminal shows is
        // for messages, and memory must not grow with the run.
        frames_.erase(frames_.begin(), frames_.begin() + kKeptFrames / 2);
    }
    frames_.push_back(frame);
    lineBaud_ = frame.baud;
    if (!ratesAgree(frame.baud, baud_)) {
        garbled_ = true;
    }
    return garbled_;
}

}  // namespace boardsim
