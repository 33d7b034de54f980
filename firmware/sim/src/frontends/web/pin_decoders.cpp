#include "frontends/web/pin_decoders.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace boardsim {
namespace {

constexpr unsigned kStopBit = 9;

}  // namespace

std::string byteLabel(uint8_t byte)
{
    char text[12];
    if (byte >= 0x20 && byte < 0x7F) {
        std::snprintf(text, sizeof text, "%02X '%c'", byte, byte);
    } else {
        std::snprintf(text, sizeof text, "%02X", byte);
    }
    return text;
}

void UartPinDecoder::settle(double time, std::vector<PinAnnotation>& out)
{
    while (inFrame_) {
        const double sampleAt = start_ + (next_ + 0.5) * bitTime_;
        if (sampleAt >= time) {
            return;
        }
        if (next_ == 0) {
            inFrame_ = !level_;  // a glitch, not a start bit
        } else if (next_ <= 8) {
            byte_ = uint8_t(byte_ | (level_ ? 1u << (next_ - 1) : 0u));
        } else {
            std::string label = byteLabel(byte_);
            if (!level_) {
                label += " !";
            }
            out.push_back({pin_, start_, start_ + (kStopBit + 1) * bitTime_, byte_, label});
            inFrame_ = false;
        }
        ++next_;
    }
}

void UartPinDecoder::edge(double time, bool level, std::vector<PinAnnotation>& out)
{
    settle(time, out);
    const bool falling = level_ && !level;
    level_ = level;
    if (!falling || inFrame_) {
        return;
    }
    const double baud = baud_();
    if (!(baud > 0)) {
        return;
    }
    inFrame_ = true;
    start_ = time;
    bitTime_ = 1 / baud;
    next_ = 0;
    byte_ = 0;
}

SpiPinDecoder::SpiPinDecoder(unsigned sckPin, unsigned mosiPin, std::vector<SpiDevice> devices)
    : sckPin_(sckPin), mosiPin_(mosiPin), devices_(std::move(devices))
{
    levels_ &= ~(1u << sckPin_);  // CPOL 0: SCK idles low
}

uint32_t SpiPinDecoder::pins() const
{
    return std::accumulate(devices_.begin(), devices_.end(), (1u << sckPin_) | (1u << mosiPin_),
                           [](uint32_t mask, const SpiDevice& device) { return mask | 1u << device.csPin; });
}

const SpiDevice* SpiPinDecoder::selected() const
{
    const auto device = std::find_if(devices_.begin(), devices_.end(),
                                     [this](const SpiDevice& d) { return (levels_ & (1u << d.csPin)) == 0; });
    return device == devices_.end() ? nullptr : &*device;
}

void SpiPinDecoder::edge(unsigned pin, double time, bool level, std::vector<PinAnnotation>& out)
{
    const uint32_t bit = 1u << pin;
    const bool was = (levels_ & bit) != 0;
    levels_ = level ? levels_ | bit : levels_ & ~bit;
    if (pin != sckPin_) {
        if (pin != mosiPin_ && was != level) {
            bits_ = 0;  // a chip select changed: a new frame, or the end of one
        }
        return;
    }
    const SpiDevice* device = selected();
    if (device == nullptr || was == level) {
        return;
    }
    if (bits_ == 0 && level) {
        from_ = time;  // a byte begins at its first rising edge in either phase
    }
    const bool sampling = level != device->cpha;
    if (!sampling) {
        return;
    }
    byte_ = uint8_t((byte_ << 1) | ((levels_ >> mosiPin_) & 1u));
    if (++bits_ == 8) {
        out.push_back({mosiPin_, from_, time, byte_, device->name + " " + byteLabel(byte_)});
        bits_ = 0;
        byte_ = 0;
    }
}

}  // namespace boardsim
