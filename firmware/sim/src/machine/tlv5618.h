// The board's DAC: a TLV5618A, two 12-bit voltage outputs (A and B) on a
// three-line serial interface, as its datasheet has it. While /CS is low,
// DIN is taken on each falling edge of SCLK, most significant bit first; the
// 16th falling edge completes a word, which takes effect at that edge:
//
//   D15 R1, D14 SPD (1 fast, 0 slow settling), D13 PWR (1 power-down),
//   D12 R0, D11..D0 the code. R1 R0: 00 write DAC B and the buffer,
//   01 write the buffer only, 10 write DAC A and move the buffer to DAC B
//   (both outputs change together), 11 reserved.
//
// An output is 2 x REF x code / 4096 volts (REF 1.49 V on this board: 2.98 V
// full scale). It does not jump: after each word it approaches its new value
// as a first-order (exponential) response whose time constant makes a
// full-scale step settle to half an LSB in the datasheet's settling time
// (2.5 us fast, 12 us slow): tau = t_settle / ln(2 x 4096). In power-down
// both outputs are off (0 V at once); a word with PWR = 0 brings them back
// to their codes, settling as after any word. Every register starts at 0:
// slow mode, powered up, both outputs 0 V.
//
// What the datasheet forbids stops the run with a message: SCLK faster than
// 20 MHz (or a half period under 25 ns), /CS low less than 10 ns before the
// first falling edge, DIN changing within its 8 ns setup or 5 ns hold time
// around a falling edge, a word cut short by /CS going high before the 16th
// falling edge, a 17th falling edge with /CS still low, /CS high less than
// 10 ns after the 16th edge, and the reserved register select R1 R0 = 11.
// While /CS is high it ignores SCLK and DIN: the lines can be shared with
// another device.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace boardsim {

class Tlv5618 {
public:
    enum Line : unsigned { kSclk, kDin, kCs, kLines };
    enum Output : unsigned { kA, kB, kOutputs };

    static constexpr double kReferenceVolts = 1.49;
    static constexpr unsigned kCodes = 4096;
    static constexpr double kMaxSclkHz = 20e6;
    static constexpr double kMinClockPulse = 25e-9;  // SCLK high, and low
    static constexpr double kDataSetup = 8e-9;       // DIN before a falling edge
    static constexpr double kDataHold = 5e-9;        // and after it
    static constexpr double kCsSetup = 10e-9;        // /CS low to the first falling edge
    static constexpr double kCsHold = 10e-9;         // the 16th falling edge to /CS high
    static constexpr double kSettleFast = 2.5e-6;    // full scale to +-0.5 LSB
    static constexpr double kSettleSlow = 12e-6;
    static constexpr unsigned kWordBits = 16;

    // One output from `time` on: from the voltage it had then, towards
    // `target`, with time constant `tau` (0: at once).
    struct Step {
        double time = 0;
        double from = 0;
        double target = 0;
        double tau = 0;
        double at(double t) const;
    };
    // Hears every step of either output, in time order, as the word that
    // makes it completes (or at power-on, for both).
    using Listener = std::function<void(unsigned output, const Step& step)>;

    struct Registers {
        uint16_t dacA = 0;
        uint16_t dacB = 0;
        uint16_t buffer = 0;
        bool fast = false;
        bool powerDown = false;
    };

    explicit Tlv5618(std::function<void(const std::string&)> fault);

    // The converter gets its supply at `time` with its lines at `levels`.
    void powerOn(const std::array<bool, kLines>& levels, double time);
    // A line changes; calls come in time order.
    void setLine(unsigned line, bool level, double time);

    // Returns a number for unlisten().
    size_t listen(Listener listener);
    void unlisten(size_t id);

    // The voltage of `output` at `time` (no earlier than its last step).
    double volts(unsigned output, double time) const { return steps_.at(output).at(time); }
    const Step& lastStep(unsigned output) const { return steps_.at(output); }
    const Registers& registers() const { return registers_; }
    uint64_t words() const { return words_; }

    static double voltsOf(uint16_t code) { return 2 * kReferenceVolts * (code & 0x0FFFu) / kCodes; }
    static double tauOf(bool fast);
    static char outputName(unsigned output) { return output == kA ? 'A' : 'B'; }

private:
    void falling(double time);
    void dataChanged(double time);
    void select(bool selected, double time);
    void word(uint16_t value, double time);
    void output(unsigned which, uint16_t code, double time);
    void fail(const std::string& what) const;

    std::function<void(const std::string&)> fault_;
    std::vector<Listener> listeners_;
    std::array<bool, kLines> lines_{};
    Registers registers_;
    std::array<Step, kOutputs> steps_{};
    uint64_t words_ = 0;

    // The word being shifted in.
    unsigned bits_ = 0;
    uint16_t shift_ = 0;
    double selectedAt_ = 0;
    double lastFall_ = -1;   // since /CS went low; -1: none yet
    double lastRise_ = -1;
    double lastData_ = -1;   // DIN's last change since /CS went low
    double sixteenth_ = -1;  // the edge that completed the last word
};

}  // namespace boardsim
