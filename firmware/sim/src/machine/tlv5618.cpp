#include "machine/tlv5618.h"

#include <cmath>
#include <cstdio>

namespace boardsim {
namespace {

// Times closer than this count as equal: edges handed over at one moment
// arrive with the same time.
constexpr double kSlack = 1e-12;
// After this many time constants an output is at its target to far below
// a microvolt.
constexpr double kSettled = 40;

std::string nanoseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ns", seconds * 1e9);
    return text;
}

std::string wordText(uint16_t word)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", word);
    return text;
}

}  // namespace

double Tlv5618::Step::at(double t) const
{
    const double since = t - time;
    if (tau <= 0 || since >= kSettled * tau) {
        return target;
    }
    return since <= 0 ? from : target + (from - target) * std::exp(-since / tau);
}

double Tlv5618::tauOf(bool fast)
{
    // A full-scale step, 4096 LSB, is within half an LSB after the
    // settling time: exp(-t / tau) = 1 / 8192.
    static const double kSteps = std::log(2.0 * kCodes);
    return (fast ? kSettleFast : kSettleSlow) / kSteps;
}

Tlv5618::Tlv5618(std::function<void(const std::string&)> fault) : fault_(std::move(fault))
{
    powerOn({false, false, true}, 0);
}

void Tlv5618::fail(const std::string& what) const
{
    if (fault_) {
        fault_("DAC (TLV5618): " + what);
    }
}

size_t Tlv5618::listen(Listener listener)
{
    listeners_.push_back(std::move(listener));
    return listeners_.size() - 1;
}

void Tlv5618::unlisten(size_t id)
{
    if (id < listeners_.size()) {
        listeners_[id] = nullptr;
    }
}

void Tlv5618::powerOn(const std::array<bool, kLines>& levels, double time)
{
    lines_ = levels;
    registers_ = Registers{};
    words_ = 0;
    bits_ = 0;
    shift_ = 0;
    lastFall_ = lastRise_ = lastData_ = sixteenth_ = -1;
    selectedAt_ = time;
    for (unsigned which = 0; which < kOutputs; ++which) {
        steps_[which] = Step{time, 0, 0, 0};
        for (const Listener& listener : listeners_) {
            if (listener) {
                listener(which, steps_[which]);
            }
        }
    }
}

void Tlv5618::setLine(unsigned line, bool level, double time)
{
    if (line >= kLines || lines_[line] == level) {
        return;
    }
    lines_[line] = level;
    if (line == kCs) {
        select(!level, time);
        return;
    }
    if (lines_[kCs]) {
        return;  // not selected: SCLK and DIN belong to someone else
    }
    if (line == kDin) {
        dataChanged(time);
    } else if (level) {
        lastRise_ = time;
        if (lastFall_ >= 0 && time - lastFall_ < kMinClockPulse - kSlack) {
            fail("SCLK low for only " + nanoseconds(time - lastFall_) + ": the converter needs 25 ns (20 MHz at most)");
        }
    } else {
        falling(time);
    }
}

void Tlv5618::select(bool selected, double time)
{
    if (selected) {
        bits_ = 0;
        shift_ = 0;
        selectedAt_ = time;
        lastFall_ = lastRise_ = lastData_ = sixteenth_ = -1;
        return;
    }
    if (bits_ > 0 && bits_ < kWordBits) {
        fail("/CS went high after " + std::to_string(bits_) + " of a word's 16 falling edges of SCLK: the word (" +
             std::to_string(bits_) + " bits so far, " + wordText(shift_) + ") is cut short and lost");
    } else if (bits_ == kWordBits && time - sixteenth_ < kCsHold - kSlack) {
        fail("/CS went high " + nanoseconds(time - sixteenth_) +
             " after the 16th falling edge of SCLK: the converter needs 10 ns");
    }
    bits_ = 0;
}

void Tlv5618::dataChanged(double time)
{
    if (lastFall_ >= 0 && time - lastFall_ < kDataHold - kSlack) {
        fail("DIN changed " + nanoseconds(time - lastFall_) +
             " after a falling edge of SCLK: the converter needs it held 5 ns (an SPI in CPOL 0 takes CPHA 1, "
             "so that MOSI changes on the rising edge)");
    }
    lastData_ = time;
}

void Tlv5618::falling(double time)
{
    if (lastFall_ >= 0 && time - lastFall_ < 1 / kMaxSclkHz - kSlack) {
        char text[48];
        std::snprintf(text, sizeof text, "%.2f MHz", 1e-6 / (time - lastFall_));
        fail(std::string("SCLK at ") + text + " (falling edges " + nanoseconds(time - lastFall_) +
             " apart), above the 20 MHz the converter takes");
    } else if (lastRise_ >= 0 && time - lastRise_ < kMinClockPulse - kSlack) {
        fail("SCLK high for only " + nanoseconds(time - lastRise_) + ": the converter needs 25 ns (20 MHz at most)");
    }
    if (lastFall_ < 0 && time - selectedAt_ < kCsSetup - kSlack) {
        fail("/CS went low only " + nanoseconds(time - selectedAt_) +
             " before the first falling edge of SCLK: the converter needs 10 ns");
    }
    if (lastData_ >= 0 && time - lastData_ < kDataSetup - kSlack) {
        fail("DIN changed only " + nanoseconds(time - lastData_) +
             " before a falling edge of SCLK: the converter needs it set 8 ns before");
    }
    lastFall_ = time;
    if (bits_ == kWordBits) {
        fail("a 17th falling edge of SCLK with /CS still low: a word is 16 clocks, and /CS must go high after the "
             "16th (the word " + wordText(shift_) + " has taken effect; what follows is lost)");
        bits_ = kWordBits + 1;  // said once a word
        return;
    }
    if (bits_ > kWordBits) {
        return;
    }
    shift_ = uint16_t((shift_ << 1) | (lines_[kDin] ? 1u : 0u));
    if (++bits_ == kWordBits) {
        sixteenth_ = time;
        word(shift_, time);
    }
}

void Tlv5618::word(uint16_t value, double time)
{
    ++words_;
    const bool r1 = (value & 0x8000u) != 0;
    const bool r0 = (value & 0x1000u) != 0;
    const uint16_t code = value & 0x0FFFu;
    if (r1 && r0) {
        fail("word " + wordText(value) + " selects register R1 R0 = 11, which the datasheet reserves");
        return;
    }
    const bool wasDown = registers_.powerDown;
    registers_.fast = (value & 0x4000u) != 0;
    registers_.powerDown = (value & 0x2000u) != 0;
    bool changedA = false;
    bool changedB = false;
    if (!r1 && !r0) {  // DAC B and the buffer
        registers_.dacB = code;
        registers_.buffer = code;
        changedB = true;
    } else if (!r1) {  // the buffer only
        registers_.buffer = code;
    } else {  // DAC A, and the buffer to DAC B: both at once
        registers_.dacA = code;
        registers_.dacB = registers_.buffer;
        changedA = changedB = true;
    }
    // Power going down or coming back moves both outputs.
    const bool powerChanged = wasDown != registers_.powerDown;
    if (changedA || powerChanged) {
        output(kA, registers_.dacA, time);
    }
    if (changedB || powerChanged) {
        output(kB, registers_.dacB, time);
    }
}

void Tlv5618::output(unsigned which, uint16_t code, double time)
{
    Step& step = steps_[which];
    const double now = step.at(time);
    if (registers_.powerDown) {
        step = Step{time, now, 0, 0};
    } else {
        step = Step{time, now, voltsOf(code), tauOf(registers_.fast)};
    }
    for (const Listener& listener : listeners_) {
        if (listener) {
            listener(which, step);
        }
    }
}

}  // namespace boardsim
