// The board's display: an 84 x 48 panel driven by a PCD8544 controller on
// five lines. Bytes come in serially: while SCE is low, SDIN is shifted in
// on each rising edge of SCLK, most significant bit first, and D/C, read
// with the eighth bit, tells a command (low) from display data (high). SCE
// going high starts the serial interface afresh. RES low resets the
// controller: power-down, horizontal addressing, basic instruction set,
// display blank, X = Y = 0, Vop = 0; the display RAM (6 banks of 84 column
// bytes, bit 0 at the top) is left as it was, and after power-on holds
// whatever it came up with. From the datasheet.
//
// What a real panel punishes stops the run with a message: SCLK faster
// than 4 MHz, bytes sent before a reset pulse (or while RES is low), a byte
// cut short by SCE going high, commands the datasheet marks "do not use",
// addresses beyond the panel. What leaves the glass empty (power-down, no
// LCD voltage, display blank) is no fault: whyBlank() says it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "machine/lcd_geometry.h"

namespace boardsim {

class Pcd8544 {
public:
    enum Line : unsigned { kSclk, kSdin, kDataCommand, kEnable, kReset, kLines };
    static constexpr double kMaxSclkHz = 4.0e6;
    static constexpr double kMinResetPulse = 100e-9;  // seconds RES must stay low

    struct Registers {
        bool powerDown = true;  // PD
        bool vertical = false;  // V: addressing goes down the banks first
        bool extended = false;  // H: the extended instruction set
        unsigned display = 0;   // D and E: 0 blank, 1 all on, 2 normal, 3 inverse
        unsigned x = 0;         // column 0..83
        unsigned y = 0;         // bank 0..5
        unsigned temperature = 0;  // TC
        unsigned bias = 0;         // BS
        unsigned vop = 0;          // LCD voltage: 3.06 V + 0.06 V x Vop
    };
    static constexpr unsigned kBlank = 0, kAllOn = 1, kNormal = 2, kInverse = 3;

    // What went over the lines: the longest stretch of display data bytes
    // with no command between them, first bit to last.
    struct Traffic {
        uint64_t commands = 0;
        uint64_t data = 0;
        unsigned longestRun = 0;
        double longestRunSeconds = 0;
    };

    explicit Pcd8544(std::function<void(const std::string&)> fault);

    // The panel gets its supply at `time` with its lines at `levels`: the
    // registers undefined until a reset pulse, the RAM full of noise.
    void powerOn(const std::array<bool, kLines>& levels, double time);
    // A line changes; calls come in time order.
    void setLine(unsigned line, bool level, double time);

    // The picture on the glass: kLcdFrameBytes bytes, bank by bank, column
    // bytes with bit 0 at the top; a set bit is a dark pixel.
    std::vector<uint8_t> glass() const;
    // Why the glass shows nothing whatever the RAM holds, in a sentence;
    // empty when it shows its RAM (or every pixel dark).
    std::string whyBlank() const;

    bool resetDone() const { return resetDone_; }
    const Registers& registers() const { return registers_; }
    const std::array<uint8_t, kLcdFrameBytes>& ram() const { return ram_; }
    const Traffic& traffic() const { return traffic_; }

private:
    void clockRise(double time);
    void byteIn(uint8_t byte, bool data, double time);
    void command(uint8_t byte);
    bool basicCommand(uint8_t byte);     // false: not one of the set
    bool extendedCommand(uint8_t byte);
    void dataByte(uint8_t byte);
    void endOfReset(double time);
    void fail(const std::string& what) const;

    std::function<void(const std::string&)> fault_;
    std::array<bool, kLines> lines_{};
    Registers registers_;
    std::array<uint8_t, kLcdFrameBytes> ram_{};
    bool resetDone_ = false;
    double resetSince_ = 0;       // RES went low
    double shortPulse_ = 0;       // the last pulse too short to reset, in seconds
    unsigned bits_ = 0;           // of the byte being shifted in
    uint8_t shift_ = 0;
    double byteStart_ = 0;        // its first rising edge
    double lastRise_ = -1;        // the last rising edge of SCLK with SCE low; -1: none yet
    Traffic traffic_;
    unsigned run_ = 0;            // data bytes since the last command
    double runStart_ = 0;
};

}  // namespace boardsim
