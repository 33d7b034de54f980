#include "peripherals/adc.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "util/text.h"

namespace boardsim {

using namespace adc;

namespace {

constexpr unsigned kFullBits = 10;
constexpr unsigned kFullClocks = 11;  // CLKS = 000: 10 bits in 11 clocks
constexpr uint64_t kNoEnd = std::numeric_limits<uint64_t>::max();
// What ADCR's value changes in a running burst.
constexpr uint32_t kBurstSetting = kSelect.mask() | kClockDivider.mask() | kClocks.mask();

// The starts on an edge, as the user manual's ADCR table names them.
const char* edgeStartName(unsigned start)
{
    switch (start) {
    case 2: return "an edge of P0.16 (EINT0/MAT0.2/CAP0.2)";
    case 3: return "an edge of P0.22 (CAP0.0/MAT0.0)";
    case 4: return "an edge of MAT0.1";
    case 5: return "an edge of MAT0.3";
    case 6: return "an edge of MAT1.0";
    default: return "an edge of MAT1.1";
    }
}


}  // namespace

// Both registers are 32 bits wide in the user manual's A/D chapter.
Adc::Adc()
    : Peripheral("ADC", 0x08), adcr_(define(0x00, "ADCR", 32, 0x00000001)),
      addr_(define(0x04, "ADDR", 32, 0, Access::ReadOnly))
{
    adcr_.field(kSelect).field(kClockDivider).field(kBurst).field(kClocks).field(kOperational).field(kTest)
        .field(kStart).field(kEdge);
    adcr_.beforeWrite([this] { catchUp(); }).afterWrite([this](uint32_t) { configured(); });
    addr_.field(kResult).field(kChannel).field(kOverrun).field(kDone).reads([this] { return readResult(); });
    reset();
}

void Adc::resetState()
{
    running_ = false;
    sequenceLength_ = 0;
    start_ = period_ = 0;
    limit_ = done_ = 0;
    burstSetting_ = 0;
    ++plan_;
    warnedCutOff_ = 0;
    warnedClockHz_ = 0;
    irq().set(false);
}

// Writing ADCR clears DONE, and with it the interrupt request.
void Adc::configured()
{
    addr_.put(kDone, 0);
    irq().set(false);
    const uint32_t adcr = adcr_.value();
    const bool burst = adcr_.has(kBurst);
    const unsigned start = adcr_.get(kStart);
    if (!adcr_.has(kOperational)) {
        if (burst || start == kStartNow) {
            board().warn("A/D conversion asked for (ADCR = " + hex(adcr) +
                         ") with ADCR.PDN = 0: the converter is powered down and converts nothing");
        }
        running_ = false;
        ++plan_;
        return;
    }
    if (burst) {
        // A burst runs on through writes that leave its channels and clock
        // as they are.
        if (!running_ || limit_ != kNoEnd || (adcr & kBurstSetting) != burstSetting_) {
            startConversions(adcr_.get(kSelect), true);
        }
        return;
    }
    if (running_ && limit_ == kNoEnd) {
        limit_ = done_ + 1;  // BURST cleared: the conversion under way still ends
    }
    if (start == kStartNow) {
        uint32_t channels = adcr_.get(kSelect);
        if ((channels & (channels - 1)) != 0) {
            board().warn("A/D conversion started with several channels in ADCR.SEL (" + hex(channels) +
                         "): without BURST the user manual has exactly one; the lowest is converted");
            channels &= ~(channels - 1);
        }
        startConversions(channels, false);
    } else if (start != 0) {
        board().fault(std::string("ADCR.START = ") + std::to_string(start) + " starts a conversion on " +
                      edgeStartName(start) + ", which the simulator does not model (use START = 001 or BURST)");
    }
    planDone();
}

void Adc::startConversions(uint32_t channels, bool burst)
{
    ++plan_;
    running_ = false;
    sequenceLength_ = 0;
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        if (((channels >> channel) & 1u) != 0) {
            sequence_[sequenceLength_++] = uint8_t(channel);
        }
    }
    if (sequenceLength_ == 0) {
        board().warn("A/D conversion started with no channel selected (ADCR.SEL = 0): nothing is converted");
        return;
    }
    const double pclk = board().pclkHz();
    const double adcHz = pclk / (adcr_.get(kClockDivider) + 1);
    checkClock(adcHz);
    period_ = adcHz > 0 ? (kFullClocks - adcr_.get(kClocks)) / adcHz : 0;
    start_ = board().now();
    done_ = 0;
    limit_ = burst ? kNoEnd : 1;
    burstSetting_ = adcr_.value() & kBurstSetting;
    running_ = true;
    planDone();
}

void Adc::checkClock(double adcHz)
{
    if (adcHz > kMaxClockHz && adcHz != warnedClockHz_) {
        warnedClockHz_ = adcHz;
        board().warn("A/D converter clocked at " + mhz(adcHz) + " (pclk " + mhz(board().pclkHz()) +
                     " / (CLKDIV + 1 = " + std::to_string(adcr_.get(kClockDivider) + 1) +
                     ")), above the 4.5 MHz the user manual allows");
    }
}

void Adc::catchUp()
{
    if (!running_ || period_ <= 0) {
        return;
    }
    const double elapsed = (board().now() - start_) / period_;
    const uint64_t ended = std::min(limit_, uint64_t(std::floor(elapsed + 1e-9)));
    if (ended <= done_) {
        return;
    }
    // A result that replaces one nobody has read is an overrun.
    if (addr_.has(kDone) || ended - done_ > 1) {
        addr_.put(kOverrun, 1);
    }
    const unsigned channel = sequence_[(ended - 1) % sequenceLength_];
    addr_.put(kResult, convert(channel));
    addr_.put(kChannel, channel);
    addr_.put(kDone, 1);
    done_ = ended;
    if (done_ == limit_) {
        running_ = false;
    }
    irq().set(true);
}

uint32_t Adc::convert(unsigned channel)
{
    const std::optional<double> volts = input ? input(channel) : std::optional<double>(0.0);
    if (!volts) {
        // With a digital function on the pin the converter is cut off from
        // it: the user manual promises no valid reading.
        if ((warnedCutOff_ & (1u << channel)) == 0) {
            warnedCutOff_ |= 1u << channel;
            board().warn("A/D conversion of AIN" + std::to_string(channel) +
                         " while its pin is not selected as AIN in PINSEL1: no valid reading (converted as 0)");
        }
        return 0;
    }
    const unsigned bits = kFullBits - adcr_.get(kClocks);
    const double scaled = std::floor(*volts / kReferenceVolts * double(1u << bits));
    const auto code = uint32_t(std::clamp(scaled, 0.0, double((1u << bits) - 1)));
    return code << (kFullBits - bits);  // fewer bits: the low ones read 0
}

void Adc::planDone()
{
    const uint64_t plan = ++plan_;
    if (!running_ || addr_.has(kDone) || period_ <= 0) {
        return;  // DONE already up stays up until ADDR is read
    }
    board().scheduleAt(start_ + double(done_ + 1) * period_, [this, plan] {
        if (plan == plan_) {
            catchUp();
        }
    });
}

uint32_t Adc::readResult()
{
    catchUp();
    const uint32_t value = addr_.value();
    addr_.put(kDone, 0);
    addr_.put(kOverrun, 0);
    irq().set(false);
    planDone();
    return value;
}

void Adc::pclkChanged()
{
    catchUp();
    if (!running_) {
        return;
    }
    // The conversion under way starts again at the new rate.
    const double adcHz = board().pclkHz() / (adcr_.get(kClockDivider) + 1);
    if (adcHz > 0) {
        checkClock(adcHz);
    }
    period_ = adcHz > 0 ? (kFullClocks - adcr_.get(kClocks)) / adcHz : 0;
    start_ = board().now() - double(done_) * period_;
    planDone();
}

}  // namespace boardsim
