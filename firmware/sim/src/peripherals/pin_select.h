// Pin connect block: which function drives each pin of port 0 (PINSEL0 for
// P0.0..15, PINSEL1 for P0.16..31, two bits a pin) and port 1's trace and
// debug pins (PINSEL2).
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

namespace pinsel {
constexpr uint32_t kPinsel0 = 0x00;
constexpr uint32_t kPinsel1 = 0x04;
constexpr uint32_t kPinsel2 = 0x14;
}  // namespace pinsel

class PinSelect final : public Peripheral {
public:
    PinSelect();

    // The function of P0.`pin`: 0 GPIO, 1..3 the pin's other functions.
    unsigned port0Function(unsigned pin) const;
    uint32_t pinsel0() const { return stored(pinsel::kPinsel0); }
    uint32_t pinsel1() const { return stored(pinsel::kPinsel1); }

    // Called after every write: what the pins carry may have changed.
    std::function<void()> onChanged;

    // A value the user manual marks reserved for a pin of port 0 is
    // refused: what the chip then does is not known.
    BusResult write(uint32_t offset, unsigned size, uint32_t value) override;
};

}  // namespace boardsim
