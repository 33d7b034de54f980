#include "machine/pcd8544.h"

#include <cstdio>


namespace boardsim {
namespace {

constexpr unsigned kBanks = kLcdHeight / 8;

std::string byteText(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

}  // namespace

Pcd8544::Pcd8544(std::function<void(const std::string&)> fault) : fault_(std::move(fault))
{
    powerOn({true, true, true, true, true}, 0);
}

void Pcd8544::fail(const std::string& what) const
{
    if (fault_) {
        fault_("LCD controller (PCD8544): " + what);
    }
}

void Pcd8544::powerOn(const std::array<bool, kLines>& levels, double time)
{
    lines_ = levels;
    registers_ = Registers{};
    resetDone_ = false;
    resetSince_ = time;
    shortPulse_ = 0;
    bits_ = 0;
    shift_ = 0;
    lastRise_ = -1;
    traffic_ = Traffic{};
    run_ = 0;
    // The RAM comes up holding anything; a fixed pseudo-random pattern, so
    // that a run repeats, and never the zeros that would pass for a cleared
    // screen.
    uint32_t x = 0x9E3779B9u;
    for (uint8_t& byte : ram_) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = uint8_t(x >> 24);
    }
}

void Pcd8544::setLine(unsigned line, bool level, double time)
{
    if (line >= kLines || lines_[line] == level) {
        return;
    }
    lines_[line] = level;
    switch (line) {
    case kReset:
        if (!level) {
            resetSince_ = time;
            bits_ = 0;
        } else {
            endOfReset(time);
        }
        break;
    case kEnable:
        // High, the serial interface starts afresh: a byte under way is lost.
        if (level && bits_ > 0 && lines_[kReset]) {
            fail("SCE went high after " + std::to_string(bits_) + " bits of a byte: the byte is lost");
        }
        bits_ = 0;
        lastRise_ = -1;
        break;
    case kSclk:
        if (level && !lines_[kEnable]) {
            clockRise(time);
        }
        break;
    default:
        break;  // SDIN and D/C count when a clock edge reads them
    }
}

void Pcd8544::endOfReset(double time)
{
    const double low = time - resetSince_;
    if (low < kMinResetPulse) {
        shortPulse_ = low;  // too short to reset anything
        return;
    }
    registers_ = Registers{};
    resetDone_ = true;
}

void Pcd8544::clockRise(double time)
{
    if (lastRise_ >= 0 && time - lastRise_ < 1.0 / kMaxSclkHz - 1e-12) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "SCLK at %.2f MHz (rising edges %.0f ns apart), above the 4.0 MHz the controller takes: it "
                      "may misread the bits",
                      1e-6 / (time - lastRise_), (time - lastRise_) * 1e9);
        fail(text);
    }
    lastRise_ = time;
    if (bits_ == 0) {
        byteStart_ = time;
    }
    shift_ = uint8_t((shift_ << 1) | (lines_[kSdin] ? 1u : 0u));
    if (++bits_ == 8) {
        bits_ = 0;
        byteIn(shift_, lines_[kDataCommand], time);
    }
}

void Pcd8544::byteIn(uint8_t byte, bool data, double time)
{
    if (!lines_[kReset] || !resetDone_) {
        const std::string what = std::string(data ? "data byte " : "command ") + byteText(byte);
        if (!lines_[kReset]) {
            fail(what + " sent while RES is low: the controller is held in reset and ignores it");
            return;
        }
        std::string pulse;
        if (shortPulse_ > 0) {
            char text[80];
            std::snprintf(text, sizeof text, " (RES was low for only %.0f ns)", shortPulse_ * 1e9);
            pulse = text;
        }
        fail(what + " sent before a reset pulse" + pulse + ": until RES has been low for 100 ns, the registers " +
             "are undefined");
        return;
    }
    if (!data) {
        run_ = 0;
        ++traffic_.commands;
        command(byte);
        return;
    }
    if (run_ == 0) {
        runStart_ = byteStart_;
    }
    ++run_;
    ++traffic_.data;
    if (run_ > traffic_.longestRun) {
        traffic_.longestRun = run_;
        traffic_.longestRunSeconds = time - runStart_;
    }
    dataByte(byte);
}

void Pcd8544::command(uint8_t byte)
{
    Registers& r = registers_;
    if (byte == 0x00) {
        return;  // NOP
    }
    if ((byte & 0xF8) == 0x20) {  // function set: 0010 0 PD V H, in either set
        r.powerDown = (byte & 0x04) != 0;
        r.vertical = (byte & 0x02) != 0;
        r.extended = (byte & 0x01) != 0;
        return;
    }
    if (!(r.extended ? extendedCommand(byte) : basicCommand(byte))) {
        fail("command " + byteText(byte) + " is not one of the " + (r.extended ? "extended" : "basic") +
             " instruction set (H = " + (r.extended ? "1" : "0") + "); the datasheet says do not use it");
    }
}

bool Pcd8544::basicCommand(uint8_t byte)
{
    Registers& r = registers_;
    if ((byte & 0xF8) == 0x08) {  // display control: 0000 1 D 0 E
        r.display = ((byte & 0x04) != 0 ? 2u : 0u) | (byte & 0x01);
        return true;
    }
    if ((byte & 0xF8) == 0x40) {  // set Y: 0100 0 Y2 Y1 Y0
        r.y = byte & 0x07;
        if (r.y >= kBanks) {
            fail("command " + byteText(byte) + " sets Y to " + std::to_string(r.y) + ": the banks are 0..5");
            r.y = 0;
        }
        return true;
    }
    if ((byte & 0x80) != 0) {  // set X: 1 X6..X0
        r.x = byte & 0x7F;
        if (r.x >= kLcdWidth) {
            fail("command " + byteText(byte) + " sets X to " + std::to_string(r.x) + ": the columns are 0..83");
            r.x = 0;
        }
        return true;
    }
    return false;
}

bool Pcd8544::extendedCommand(uint8_t byte)
{
    Registers& r = registers_;
    if ((byte & 0xFC) == 0x04) {  // temperature control: 0000 01 TC1 TC0
        r.temperature = byte & 0x03;
    } else if ((byte & 0xF8) == 0x10) {  // bias system: 0001 0 BS2..BS0
        r.bias = byte & 0x07;
    } else if ((byte & 0x80) != 0) {  // set Vop: 1 Vop6..Vop0
        r.vop = byte & 0x7F;
    } else {
        return false;
    }
    return true;
}

void Pcd8544::dataByte(uint8_t byte)
{
    Registers& r = registers_;
    ram_[r.y * kLcdWidth + r.x] = byte;
    if (!r.vertical) {
        if (++r.x == kLcdWidth) {
            r.x = 0;
            r.y = (r.y + 1) % kBanks;
        }
    } else if (++r.y == kBanks) {
        r.y = 0;
        r.x = (r.x + 1) % kLcdWidth;
    }
}

std::string Pcd8544::whyBlank() const
{
    if (!lines_[kReset]) {
        return "RES is low: the controller is held in reset";
    }
    if (!resetDone_) {
        return "the controller has had no reset pulse on RES, so its registers are undefined";
    }
    if (registers_.powerDown) {
        return "the controller is in power-down (PD = 1, as after its reset): no function set with PD = 0 was sent";
    }
    if (registers_.vop == 0) {
        return "Vop is 0 (as after reset): the LCD voltage generator is off and nothing shows; set Vop with the "
               "extended instruction set";
    }
    if (registers_.display == kBlank) {
        return "the display is blank (display control D = E = 0, as after reset): no display control for normal "
               "mode was sent";
    }
    return "";
}

std::vector<uint8_t> Pcd8544::glass() const
{
    std::vector<uint8_t> picture(kLcdFrameBytes, 0x00);
    if (!whyBlank().empty()) {
        return picture;
    }
    for (size_t i = 0; i < picture.size(); ++i) {
        switch (registers_.display) {
        case kAllOn: picture[i] = 0xFF; break;
        case kInverse: picture[i] = uint8_t(~ram_[i]); break;
        default: picture[i] = ram_[i]; break;
        }
    }
    return picture;
}

}  // namespace boardsim
