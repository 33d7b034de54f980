// The GPIO block of the LPC2294: ports 0 to 3, each with its pin levels
// (IOnPIN), output latch (IOnSET to set, IOnCLR to clear, IOnPIN to load),
// and direction (IOnDIR), at 0x10 bytes a port. Port 0 carries the board's
// LED, keys and LCD: its levels come from the machine's pin layer, which
// hears of every write. Ports 1 to 3 have their levels here: an output pin
// whose function is GPIO reads what it drives, any other pin what the
// outside world puts on it. Of port 1, only P1.0, P1.1 and P1.16 to P1.31
// are pins on the LPC2294's 144-pin package (the others read 0).
#pragma once

#include <array>
#include <functional>

#include "peripherals/peripheral.h"

namespace boardsim {

class Gpio final : public Peripheral {
public:
    static constexpr unsigned kPorts = 4;

    Gpio();

    // Port 0, as the machine's pin layer and the board read it.
    // Level of every pin. On the board, what the machine's pin layer says
    // (pinLevels); on its own, outputs read back what they drive and inputs
    // what the outside world puts on them.
    uint32_t pins() const { return pinLevels ? pinLevels() : pins(0); }
    uint32_t direction() const { return direction(0); }
    uint32_t latch() const { return latch(0); }
    // Level the outside world puts on the pins (a pulled-up input reads 1).
    void setOutsideLevels(uint32_t levels) { setOutsideLevels(0, levels); }
    uint32_t outsideLevels() const { return outside_[0]; }

    // Any port.
    uint32_t pins(unsigned port) const;
    uint32_t direction(unsigned port) const { return dir_.at(port)->value(); }
    uint32_t latch(unsigned port) const { return latch_.at(port); }
    void setOutsideLevels(unsigned port, uint32_t levels) { outside_.at(port) = levels; }

    // Called after every write to port 0's registers.
    std::function<void()> onOutputsChanged;
    // Where IO0PIN reads the pins from, when the board has them: a pin reads
    // its level whatever its function or direction.
    std::function<uint32_t()> pinLevels;
    // When the next edge already on its way to port 0's pins falls (a
    // byte's bits on TxD, SCK0 and MOSI0): IO0PIN reads the same until then.
    std::function<double()> nextPinEdge;
    // The pins of `port` (1 to 3) whose function is GPIO now (the pin
    // connect block's business); unset: all of them.
    std::function<uint32_t(unsigned port)> gpioPins;

protected:
    void resetState() override { latch_.fill(0); }

private:
    void changed(unsigned port) const;
    double nextPinEdgeTime() const;

    std::array<Register*, kPorts> dir_{};
    std::array<uint32_t, kPorts> latch_{};
    // Unconnected pins read high, as port 0's pulled-up ones do.
    std::array<uint32_t, kPorts> outside_{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
};

}  // namespace boardsim
