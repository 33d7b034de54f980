// Pin connect block: which function drives each pin of port 0 (PINSEL0 for
// P0.0..15, PINSEL1 for P0.16..31, two bits a pin) and port 1's debug and
// trace pins (PINSEL2: P1.26..31 the JTAG port, P1.16..25 the trace port).
// PINSEL2's external bus controls (ports 2 and 3, P1.0 and P1.1) are
// stored; the external memory bus is not modelled, so those pins stay GPIO.
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

namespace pinsel {
constexpr Field kDebugPort{"GPIO/DEBUG", 2, 1};  // P1.26..31: JTAG
constexpr Field kTracePort{"GPIO/TRACE", 3, 1};  // P1.16..25: trace
constexpr Field kExternalBus{"CTRL", 4, 28};      // ports 2 and 3, P1.0 and P1.1
constexpr uint32_t kDebugPins = 0xFC000000;       // P1.26..31
constexpr uint32_t kTracePins = 0x03FF0000;       // P1.16..25
}  // namespace pinsel

class PinSelect final : public Peripheral {
public:
    PinSelect();

    // The function of P0.`pin`: 0 GPIO, 1..3 the pin's other functions.
    unsigned port0Function(unsigned pin) const;
    uint32_t pinsel0() const { return pinsel0_.value(); }
    uint32_t pinsel1() const { return pinsel1_.value(); }
    // The pins of port 1 that are GPIO now (not debug or trace).
    uint32_t port1GpioPins() const;

    // Called after every write: what the pins carry may have changed.
    std::function<void()> onChanged;

    // A value the user manual marks reserved for a pin of port 0 is
    // refused: what the chip then does is not known.
    BusResult write(uint32_t offset, unsigned size, uint32_t value) override;

private:
    Register& pinsel0_;
    Register& pinsel1_;
    Register& pinsel2_;
};

}  // namespace boardsim
